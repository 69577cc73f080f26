#include "menus/LoadGame.h"

LoadGame* LoadGame::Instance()
{
    return SingletonInstance<LoadGame>();
}
