#include "characters/NetworkSession.h"

#include <utility>

namespace {

// Waits for the networking layer, which registers the real session here.
NetworkSessionHooks session;

} // namespace

void SetNetworkSessionHooks(NetworkSessionHooks hooks)
{
    session = std::move(hooks);
}

bool IsNetworkServerActive()
{
    return session.isServerActive && session.isServerActive();
}

bool IsNetworkClientConnected()
{
    return session.isClientConnected && session.isClientConnected();
}

void ClientSendHealth(std::int16_t object, int health)
{
    if (session.clientSendHealth)
        session.clientSendHealth(object, health);
}
