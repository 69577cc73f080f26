#include "menus/PlayerConfig.h"

PlayerConfig* PlayerConfig::Instance()
{
    return SingletonInstance<PlayerConfig>();
}
