#include "multiplayer/NetworkClient.h"

#include "engine/core/EngineLog.h"
#include "multiplayer/ServerSettings.h"

namespace {

NetworkClient*& Current()
{
    static NetworkClient* current = nullptr;
    return current;
}

} // namespace

NetworkClient::NetworkClient(platform::net::PeerConfig config) : client(std::move(config))
{
    Current() = this;
}

NetworkClient::~NetworkClient()
{
    if (Current() == this)
        Current() = nullptr;
}

NetworkClient* NetworkClient::Instance()
{
    return Current();
}

bool NetworkClient::IsConnected()
{
    return Current() && Current()->client.IsConnected();
}

void NetworkClient::SetPorts(std::uint16_t server, std::uint16_t own)
{
    serverPort = server;
    clientPort = own;
}

bool NetworkClient::Connect(const char* host)
{
    return host && client.Connect(host, serverPort, clientPort);
}

void NetworkClient::Disconnect()
{
    client.Disconnect(150);
}

bool NetworkClient::Send(const void* data, std::size_t length, platform::net::PacketPriority priority,
                         platform::net::PacketReliability reliability)
{
    return client.Send(data, length, priority, reliability, 0);
}

bool NetworkClient::SendId(std::uint8_t id, platform::net::PacketPriority priority,
                           platform::net::PacketReliability reliability)
{
    return Send(&id, 1, priority, reliability);
}

void NetworkClient::GetServerSettings(ServerSettings* settings)
{
    if (!settings)
        return;
    ServerSettings::SetDefaults(settings);
    const std::vector<std::uint8_t> record = client.GetStaticServerData();
    if (record.empty())
        return;
    std::string error;
    if (!settings->ReadRecord(record.data(), record.size(), error) && !refusedSettingsLogged) {
        refusedSettingsLogged = true;
        LogToEngine("Refused the host's %s; the defaults stand", error.c_str());
    }
}

void NetworkClient::SetPassword(const char* text)
{
    password = text ? text : "";
    client.SetPassword(password);
}
