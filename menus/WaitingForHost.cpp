#include "menus/WaitingForHost.h"

WaitingForHost* WaitingForHost::Instance()
{
    return SingletonInstance<WaitingForHost>();
}
