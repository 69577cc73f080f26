#include "multiplayer/ServerSettings.h"

void ServerSettings::SetDefaults(ServerSettings* settings)
{
    if (settings)
        *settings = ServerSettings{};
}
