#include "multiplayer/GameNetwork.h"

#include "app/framework/Application.h"
#include "engine/core/EngineLog.h"
#include "platform/net/NetClock.h"

#include <string>

namespace ev = platform::net::event;
using platform::net::Packet;

namespace {

constexpr std::uint16_t kLocalPlayerSlots = platform::net::kMaxPlayers;

// The record's identifier: byte 0, or byte 5 behind a time stamp. -1 for a record too short to
// hold it.
int RecordId(const Packet& packet)
{
    if (packet.length == 0)
        return -1;
    if (packet.data[0] != ev::kTimestamp)
        return packet.data[0];
    return packet.length > 5 ? packet.data[5] : -1;
}

std::string PlayerAddress(const Packet& packet)
{
    return platform::net::AddressText(packet.playerId.binaryAddress) + ":" + std::to_string(packet.playerId.port);
}

void WriteMultiplayerLine(const std::string& text)
{
    Application::Instance()->WriteMultiplayerLog(true, text.c_str());
}

} // namespace

GameNetwork::GameNetwork(const platform::net::PeerConfig& config) : client(config), server(config) {}

GameNetwork::~GameNetwork()
{
    if (client.Interface().IsConnected())
        client.Disconnect();
    if (server.Interface().IsActive())
        server.Stop();
}

void GameNetwork::UsePort(std::uint16_t serverPort)
{
    server.SetPort(serverPort);
    client.SetPorts(serverPort, 0);
    usedPort = true;
}

bool GameNetwork::StartServer(std::uint16_t maxPlayers)
{
    if (!server.Start(maxPlayers)) {
        LogToEngine("Network server: could not start for %u players", unsigned(maxPlayers));
        return false;
    }
    LogToEngine("Network server: listening on UDP port %u for %u players", unsigned(server.GetPort()),
                unsigned(maxPlayers));
    // The host's own client joins on the port taken, which differs from the one asked for when
    // that was 0.
    if (usedPort)
        client.SetPorts(server.GetPort(), 0);
    return true;
}

void GameNetwork::StopServer()
{
    if (server.Interface().IsActive())
        LogToEngine("Network server: stopped");
    server.Stop();
}

bool GameNetwork::Connect(const char* address)
{
    const bool started = client.Connect(address);
    if (!started)
        LogToEngine("Network client: could not start connecting to %s", address ? address : "");
    return started;
}

void GameNetwork::Disconnect()
{
    if (client.Interface().IsConnected())
        LogToEngine("Network client: disconnecting");
    client.Disconnect();
}

std::uint32_t GameNetwork::Time()
{
    return platform::net::GetTime();
}

void GameNetwork::ReceivePackets()
{
    ClientReceivePackets();
    if (server.Interface().IsActive())
        ServerReceivePackets();
}

void GameNetwork::LogUnhandled(std::bitset<256>& logged, const char* side, int id)
{
    if (id < 0) {
        LogToEngine("%s dropped a record too short for its identifier", side);
        return;
    }
    if (logged.test(std::size_t(id)))
        return;
    logged.set(std::size_t(id));
    LogToEngine("%s unknown packet error: type %i", side, id);
}

void GameNetwork::ClientReceivePackets()
{
    while (Packet* packet = client.Receive()) {
        const int id = RecordId(*packet);
        switch (id) {
        case ev::kConnectionRequestAccepted:
            LogToEngine("Network client: connection request accepted (event 18) by %s as player %u",
                        PlayerAddress(*packet).c_str(), unsigned(client.GetPlayerIndex()));
            break;
        case ev::kReceivedStaticData: {
            ServerSettings settings;
            client.GetServerSettings(&settings);
            LogToEngine("Network client: server settings received (event 24), %u bytes, server \"%s\"",
                        unsigned(packet->length - 1), settings.serverName);
            break;
        }
        case ev::kConnectionBanned:
            LogToEngine("Network client: refused, this address is banned (event 17)");
            break;
        case ev::kNoFreeIncomingConnections:
            LogToEngine("Network client: refused, the server is full (event 20)");
            break;
        case ev::kInvalidPassword:
            LogToEngine("Network client: refused, wrong password (event 25)");
            break;
        case ev::kDisconnectionNotification:
            LogToEngine("Network client: the server closed the connection (event 21)");
            break;
        case ev::kConnectionLost:
            LogToEngine("Network client: the connection to the server was lost (event 22)");
            break;
        case ev::kRemoteDisconnection:
        case ev::kRemoteConnectionLost:
        case ev::kRemoteNewIncomingConnection:
            LogToEngine("Network client: player %s %s (event %d)", PlayerAddress(*packet).c_str(),
                        id == ev::kRemoteNewIncomingConnection ? "joined" : "left", id);
            break;
        default:
            LogUnhandled(clientUnhandled, "Client", id);
            break;
        }
        client.DeallocatePacket(packet);
    }
}

void GameNetwork::ServerReceivePackets()
{
    while (Packet* packet = server.Receive()) {
        const int id = RecordId(*packet);
        const unsigned slot = packet->playerIndex;
        const std::string address = platform::net::AddressText(packet->playerId.binaryAddress);
        switch (id) {
        case ev::kNewIncomingConnection:
            WriteMultiplayerLine("<Network/Server> Connection accepted from IP " + address + ".");
            LogToEngine("Network server: new incoming connection (event 19) from %s as player %u",
                        PlayerAddress(*packet).c_str(), slot);
            break;
        case ev::kReceivedStaticData:
            LogToEngine("Network server: static data (event 24) from player %u, %u bytes; sending the server settings",
                        slot, unsigned(packet->length - 1));
            if (slot < kLocalPlayerSlots)
                server.SendServerSettingsTo(std::uint16_t(slot));
            break;
        case ev::kDisconnectionNotification:
        case ev::kConnectionLost:
            if (slot >= kLocalPlayerSlots)
                break;
            WriteMultiplayerLine("<Network/Server> " + address +
                                 (id == ev::kDisconnectionNotification ? " has quit." : " was dropped (no data from client)."));
            LogToEngine("Network server: player %u (%s) %s (event %d)", slot, address.c_str(),
                        id == ev::kDisconnectionNotification ? "has quit" : "was dropped", id);
            if (id == ev::kDisconnectionNotification)
                server.Kick(std::uint16_t(slot));
            break;
        case ev::kModifiedPacket:
            LogToEngine("Network server: a modified record from player %u (event 26)", slot);
            break;
        default:
            LogUnhandled(serverUnhandled, "Server", id);
            break;
        }
        server.DeallocatePacket(packet);
    }
}
