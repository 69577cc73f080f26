#include "menus/HostGame.h"

HostGame* HostGame::Instance()
{
    return SingletonInstance<HostGame>();
}
