#include "multiplayer/NetworkServer.h"

namespace {

NetworkServer*& Current()
{
    static NetworkServer* current = nullptr;
    return current;
}

} // namespace

NetworkServer::NetworkServer(platform::net::PeerConfig config) : server(std::move(config))
{
    Current() = this;
}

NetworkServer::~NetworkServer()
{
    if (Current() == this)
        Current() = nullptr;
}

NetworkServer* NetworkServer::Instance()
{
    return Current();
}

bool NetworkServer::IsActive()
{
    return Current() && Current()->server.IsActive();
}

void NetworkServer::GetServerSettings(ServerSettings* settings)
{
    if (!settings)
        return;
    if (Current() && Current()->settingsPublished)
        *settings = Current()->published;
    else
        ServerSettings::SetDefaults(settings);
}

bool NetworkServer::Start(std::uint16_t allowedPlayers)
{
    if (!settingsPublished) {
        ServerSettings defaults;
        SetServerSettings(&defaults);
    }
    return server.Start(allowedPlayers, listenPort);
}

void NetworkServer::Stop()
{
    server.Disconnect(200);
}

void NetworkServer::SetServerSettings(const ServerSettings* settings)
{
    if (!settings)
        return;
    published = *settings;
    settingsPublished = true;
    server.SetStaticServerData(published.WriteRecord());
}

bool NetworkServer::SendToAllExcept(const void* data, std::size_t length, std::uint16_t slot,
                                    platform::net::PacketPriority priority, platform::net::PacketReliability reliability)
{
    return server.SendToAllExcept(data, length, slot, priority, reliability, 0);
}

bool NetworkServer::SendToPlayer(const void* data, std::size_t length, std::uint16_t slot,
                                 platform::net::PacketPriority priority, platform::net::PacketReliability reliability)
{
    return server.SendToPlayer(data, length, slot, priority, reliability, 0);
}

void NetworkServer::SetPassword(const char* text)
{
    password = text ? text : "";
    server.SetPassword(password);
}
