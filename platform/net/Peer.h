#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/BanList.h"
#include "platform/net/NetTypes.h"
#include "platform/net/PeerConfig.h"

struct _ENetHost;
struct _ENetPeer;
struct _ENetPacket;

namespace platform::net {

class LinkConditioner;

// The core under the client and server interfaces. A service thread owns the ENet host, so the
// connection stays alive while the main thread is busy; the main thread sends directly under the
// host's lock and pumps the host itself in Receive when the thread is not on it. Records and remote
// procedure calls reach the game only through Receive, on the caller's thread.
//
// Reliability and ordering channel c (0-31) map onto ENet channels:
//   ReliableOrdered     -> ENet reliable on channel c (ENet orders reliable packets per channel)
//   UnreliableSequenced -> ENet unreliable on channel 32 + c (ENet drops stale ones per channel)
//   ReliableSequenced   -> ENet reliable on channel 64 + c: nothing is lost and nothing older
//                          follows something newer, which keeps both promises of the class
//   Reliable            -> ENet reliable on channel 96 for every c: the class promises no order,
//                          and ENet's order is one that it allows
//   Unreliable          -> ENet unsequenced on channel 97
//   the layer's control -> ENet reliable on channel 98
// Priorities are not kept apart: ENet sends in the order of the calls.
class Peer {
public:
    Peer(InterfaceKind role, PeerConfig config);
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // Server: listens on the port for up to allowedPlayers players.
    bool Start(std::uint16_t allowedPlayers, std::uint16_t port);
    // Client: connects from clientPort (0: any) to host:serverPort; true when the attempt started.
    bool Connect(const std::string& host, std::uint16_t serverPort, std::uint16_t clientPort);
    // Ends every connection, waiting up to blockMs for the far ends to learn of it.
    void Disconnect(std::uint32_t blockMs);

    bool IsActive() const { return active.load(); }
    bool IsConnected() const { return connected.load(); }
    std::uint16_t LocalPort() const { return localPort; }

    // Sends a record to one player (index), or to every accepted player except one (except may be
    // kNoPlayerIndex). A client's records always go to its server. False for a refused call.
    bool Send(const void* data, std::size_t length, PacketPriority priority, PacketReliability reliability,
              int channel, std::uint16_t target, bool broadcast);
    bool Rpc(const std::string& name, const void* data, std::uint32_t bitLength, PacketPriority priority,
             PacketReliability reliability, int channel, std::uint16_t target, bool broadcast, bool timestamp);

    Packet* Receive();
    void DeallocatePacket(Packet* packet);
    void PushBackPacket(Packet* packet);

    // Before Start or Connect only.
    bool RegisterRpc(const std::string& name, RpcHandler handler);

    // Server administration.
    bool Kick(std::uint16_t index);
    bool AddBan(const std::string& entry);
    void RemoveBan(const std::string& entry);
    void ClearBans();
    bool IsBanned(const std::string& address) const;
    void SetPassword(const std::string& text);
    std::string Password() const;
    void SetAllowedPlayers(std::uint16_t count);
    std::uint16_t AllowedPlayers() const;
    std::uint16_t ConnectedPlayers() const;
    PlayerId PlayerIdFromIndex(std::uint16_t index) const;
    std::uint16_t IndexFromPlayerId(PlayerId id) const;
    void SetStaticServerData(const std::vector<std::uint8_t>& data);
    // Sends the static data to a player that does not have it yet: each player gets it on
    // acceptance and again only after it changed.
    void SendStaticServerData(std::uint16_t index);
    void SetSynchronizedRandomInteger(std::uint32_t value);

    // Client side.
    void SetStaticClientData(const std::vector<std::uint8_t>& data);
    std::vector<std::uint8_t> StaticServerData() const;
    std::uint32_t SynchronizedRandomInteger() const;
    std::uint16_t OwnIndex() const;
    PlayerId OwnPlayerId() const;
    // The server's table of its players' pings (ms), -1 for an empty slot or none received.
    int TablePing(std::uint16_t index) const;

    // Ping of one connection in ms: the last and the average of the recent ones; -1 when unknown.
    // A client's connection is index kNoPlayerIndex.
    int LastPing(std::uint16_t index) const;
    int AveragePing(std::uint16_t index) const;

    std::uint32_t Now() const { return config.clock(); }

private:
    struct Remote;
    // A received ENet packet, freed with its owner: records reach the game in the buffer ENet
    // received them in.
    struct ReleaseEnetPacket {
        void operator()(_ENetPacket* packet) const;
    };
    using ReceivedPacket = std::unique_ptr<_ENetPacket, ReleaseEnetPacket>;
    // One record on its way from the host to the game: a part of a received packet, or the
    // layer's own event in own.
    struct Queued {
        ReceivedPacket packet;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
        std::vector<std::uint8_t> own;
        PlayerId id;
        std::uint16_t index = kNoPlayerIndex;
        int rpc = -1; // index of the registered procedure, or -1 for a record
        std::uint32_t rpcBits = 0;
    };
    // A packet handed to the game and the buffer its data points into. Kept for reuse once given
    // back, and all freed with the interface, held or not.
    struct Lent {
        Packet packet;
        ReceivedPacket buffer;
    };

    bool OpenHost(std::uint16_t port, std::size_t peers, const char* what);
    void CloseHost();
    static std::int64_t SteadyMicroseconds();
    bool PopQueued(Queued& item);
    void ServiceLoop();
    void ServiceLocked();
    void FlushLocked();
    void FlushBurst();
    void HandleConnect(_ENetPeer* peer);
    void HandleDisconnect(_ENetPeer* peer, std::uint32_t reason);
    void HandleReceive(_ENetPeer* peer, ReceivedPacket packet);
    void HandleControl(Remote& remote, const std::uint8_t* data, std::size_t size);
    void HandleHello(Remote& remote, const std::uint8_t* data, std::size_t size);
    void HandleAccept(Remote& remote, const std::uint8_t* data, std::size_t size);
    void HandleGame(Remote& remote, ReceivedPacket packet);
    void HandleRpc(Remote& remote, ReceivedPacket packet);
    void Periodic();
    bool WindowFull() const;
    bool SendLocked(_ENetPacket* packet, std::uint8_t channel, std::uint16_t target, bool broadcast);
    void SendControl(Remote& remote, const std::vector<std::uint8_t>& frame);
    void SendNotice(std::uint8_t eventId, const Remote& about);
    void SendServerData(Remote& remote);
    void Emit(const Remote* from, std::vector<std::uint8_t> record);
    void Emit(PlayerId id, std::uint16_t index, std::vector<std::uint8_t> record);
    void EmitReceived(const Remote& from, ReceivedPacket packet, std::size_t offset, std::size_t length, int rpc,
                      std::uint32_t rpcBits);
    Packet* Lend(Queued& item);
    bool IsLent(const Packet* packet) const;
    void ReturnPushedBack();
    std::uint16_t ConnectedLocked() const;
    void EmitEvent(const Remote* from, std::uint8_t eventId);
    void ReleaseRemote(Remote& remote);
    Remote* RemoteOf(_ENetPeer* peer);
    std::uint32_t ToLocalTime(const Remote& remote, std::uint32_t remoteTime) const;
    void Log(const std::string& text) const;

    const InterfaceKind role;
    PeerConfig config;

    mutable std::mutex hostMutex; // ENet is not thread-safe: every ENet call holds it
    _ENetHost* host = nullptr;
    std::unique_ptr<LinkConditioner> link;
    std::vector<std::unique_ptr<Remote>> remotes;
    std::array<Remote*, kMaxPlayers> slots{};
    std::uint16_t localPort = 0;
    std::uint16_t allowedPlayers = kMaxPlayers;
    std::string password;
    BanList bans; // read by the service thread as players connect
    std::vector<std::uint8_t> staticServerData;
    std::uint32_t serverDataVersion = 1; // counts the changes of staticServerData
    std::vector<std::uint8_t> staticClientData;
    std::uint32_t syncRandom = 0;
    std::array<std::uint16_t, kMaxPlayers> pingTable{};
    std::uint16_t ownIndex = kNoPlayerIndex;
    PlayerId ownId;
    std::uint32_t lastPingTable = 0;

    std::atomic<bool> active{false};
    std::atomic<bool> connected{false};
    std::atomic<bool> stopping{false};
    int wakeFd = -1;
    bool sentSinceService = false; // under hostMutex
    std::atomic<bool> flushPending{false}; // records wait for the next flush
    std::size_t unflushedBytes = 0; // under hostMutex
    std::size_t unflushedCommands = 0; // under hostMutex
    std::atomic<std::int64_t> lastMainService{0};
    std::thread service;

    // Records pass from the host to the game in batches: gathered under the host's lock while it is
    // serviced, queued at the end of the service, and taken by Receive a whole queue at a time. The
    // three vectors trade their storage, so a record in passing allocates nothing.
    std::vector<Queued> emitted; // under hostMutex
    mutable std::mutex queueMutex;
    std::vector<Queued> queue;
    // The receiving thread's own: the batch it is taking, the packets pushed back (the last one
    // first) and the packets it was lent.
    std::vector<Queued> ready;
    std::size_t readyAt = 0;
    std::vector<Packet*> pushedBack;
    std::vector<std::unique_ptr<Lent>> lent;
    std::vector<Lent*> spare;

    std::vector<std::pair<std::string, RpcHandler>> procedures;
    bool proceduresFrozen = false;
};

} // namespace platform::net
