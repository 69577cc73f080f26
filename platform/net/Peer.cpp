#include "platform/net/Peer.h"

#include "platform/net/LinkConditioner.h"
#include "platform/net/NetClock.h"
#include "platform/net/Wire.h"

#include <enet/enet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace platform::net {

using wire::ControlType;
using wire::FrameKind;
using wire::Reason;

namespace {

constexpr std::size_t kEnetChannels = 99;
constexpr std::uint8_t kControlChannel = 98;
constexpr std::uint32_t kBogusRoundTrip = 60000; // a longer round trip is a forged or stale echo
constexpr int kServiceWaitMs = 5;
constexpr std::int64_t kMainPumpingUs = 1000;
constexpr std::int64_t kFlushWaitUs = 100; // how long the tail of a burst waits to be sent
constexpr std::size_t kDatagramCommands = ENET_PROTOCOL_MAXIMUM_PACKET_COMMANDS;
// Room kept in a datagram for the acknowledgements that ENet sends along with records.
constexpr std::size_t kAcknowledgementRoom = 4 * sizeof(ENetProtocolAcknowledge);

// The bytes one record takes in a datagram: ENet's command header and the record.
std::size_t CommandBytes(const ENetPacket* packet)
{
    const bool reliable = (packet->flags & ENET_PACKET_FLAG_RELIABLE) != 0;
    return packet->dataLength + (reliable ? sizeof(ENetProtocolSendReliable) : sizeof(ENetProtocolSendUnsequenced));
}

struct Route {
    std::uint8_t channel;
    std::uint32_t flags;
};

Route RouteOf(PacketReliability reliability, int channel)
{
    const auto c = static_cast<std::uint8_t>(channel);
    switch (reliability) {
    case PacketReliability::Unreliable: return {97, ENET_PACKET_FLAG_UNSEQUENCED};
    case PacketReliability::UnreliableSequenced: return {static_cast<std::uint8_t>(32 + c), 0};
    case PacketReliability::Reliable: return {96, ENET_PACKET_FLAG_RELIABLE};
    case PacketReliability::ReliableSequenced: return {static_cast<std::uint8_t>(64 + c), ENET_PACKET_FLAG_RELIABLE};
    case PacketReliability::ReliableOrdered: break;
    }
    return {c, ENET_PACKET_FLAG_RELIABLE};
}

// ENet's intercept callback has no context of its own; the host is serviced only under its lock,
// so the conditioner of the host being serviced is set around each service call on that thread.
thread_local LinkConditioner* tServicedLink = nullptr;

int InterceptThunk(ENetHost* host, ENetEvent*) { return tServicedLink ? tServicedLink->Intercept(host) : 0; }

class LinkScope {
public:
    explicit LinkScope(LinkConditioner* link) : previous(tServicedLink) { tServicedLink = link; }
    ~LinkScope() { tServicedLink = previous; }
    LinkScope(const LinkScope&) = delete;
    LinkScope& operator=(const LinkScope&) = delete;

private:
    LinkConditioner* previous;
};

std::vector<std::uint8_t> ControlFrame(ControlType type)
{
    return {static_cast<std::uint8_t>(FrameKind::Control), static_cast<std::uint8_t>(type)};
}

bool ValidSend(std::size_t length, std::size_t limit, PacketReliability reliability, int channel)
{
    const auto r = static_cast<int>(reliability);
    return length > 0 && length <= limit && r >= 0 && r <= 4 && channel >= 0 && channel < kOrderingChannels;
}

} // namespace

struct Peer::Remote {
    ENetPeer* peer = nullptr;
    PlayerId id;
    std::uint16_t slot = kNoPlayerIndex;
    bool accepted = false;
    bool silent = false; // kicked or refused: nothing more of it reaches the game
    std::uint32_t serverDataSent = 0; // the version of the static server data it was sent; 0: none
    std::uint32_t lastPingSent = 0;
    bool pinged = false;
    std::array<std::uint32_t, 8> roundTrips{};
    std::array<std::int32_t, 8> offsets{};
    int samples = 0;
    int nextSample = 0;
    std::int32_t offset = 0; // this peer's clock minus the remote's

    // The offset of the sample with the shortest round trip is the least skewed by queueing.
    void AddSample(std::uint32_t roundTrip, std::int32_t sampleOffset)
    {
        roundTrips[nextSample] = roundTrip;
        offsets[nextSample] = sampleOffset;
        nextSample = (nextSample + 1) % 8;
        samples = std::min(samples + 1, 8);
        int best = 0;
        for (int i = 1; i < samples; ++i)
            if (roundTrips[i] < roundTrips[best])
                best = i;
        offset = offsets[best];
    }
    int LastPing() const { return samples ? static_cast<int>(roundTrips[(nextSample + 7) % 8]) : -1; }
    int AveragePing() const
    {
        if (!samples)
            return -1;
        std::uint64_t sum = 0;
        for (int i = 0; i < samples; ++i)
            sum += roundTrips[i];
        return static_cast<int>(sum / samples);
    }
};

Peer::Peer(InterfaceKind role, PeerConfig peerConfig) : role(role), config(std::move(peerConfig))
{
    if (!config.clock)
        config.clock = GetTime;
    if (config.pingIntervalMs == 0)
        config.pingIntervalMs = 1000;
    pingTable.fill(0xFFFF);
}

Peer::~Peer()
{
    Disconnect(0);
}

void Peer::ReleaseEnetPacket::operator()(ENetPacket* packet) const
{
    // A received packet belongs to nobody but its holder, so it is freed without the host's lock.
    enet_packet_destroy(packet);
}

void Peer::Log(const std::string& text) const
{
    const std::string line = std::string(role == InterfaceKind::Server ? "<Net/Server> " : "<Net/Client> ") + text;
    if (config.log)
        config.log(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

bool Peer::OpenHost(std::uint16_t port, std::size_t peers, const char* what)
{
    if (enet_initialize() != 0) {
        Log("ENet could not be initialised");
        return false;
    }
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = port;
    host = enet_host_create(&address, peers, kEnetChannels, 0, 0);
    if (!host) {
        Log(std::string("cannot open UDP port ") + std::to_string(port) + " for the " + what);
        return false;
    }
    host->maximumPacketSize = config.maxRecordSize + 64; // room for the frame header of a procedure call
    if (config.link.Active()) {
        link = std::make_unique<LinkConditioner>(config.link);
        host->intercept = InterceptThunk;
    }
    localPort = host->address.port;
    wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    stopping = false;
    proceduresFrozen = true;
    return true;
}

void Peer::CloseHost()
{
    if (host)
        enet_host_destroy(host);
    host = nullptr;
    link.reset();
    remotes.clear();
    slots.fill(nullptr);
    ownIndex = kNoPlayerIndex;
    ownId = kUnassignedPlayerId;
    active = false;
    connected = false;
    if (wakeFd >= 0)
        close(wakeFd);
    wakeFd = -1;
    emitted.clear();
    ReturnPushedBack();
    ready.clear();
    readyAt = 0;
    std::lock_guard lock(queueMutex);
    queue.clear();
}

bool Peer::Start(std::uint16_t players, std::uint16_t port)
{
    std::lock_guard lock(hostMutex);
    if (role != InterfaceKind::Server || host)
        return false;
    if (!OpenHost(port, kMaxPlayers + 8, "server")) // spare peers so that a refused player hears why
        return false;
    allowedPlayers = std::min<std::uint16_t>(players, kMaxPlayers);
    active = true;
    service = std::thread([this] { ServiceLoop(); });
    return true;
}

bool Peer::Connect(const std::string& hostName, std::uint16_t serverPort, std::uint16_t clientPort)
{
    std::lock_guard lock(hostMutex);
    if (role != InterfaceKind::Client || host)
        return false;
    ENetAddress address{};
    if (enet_address_set_host(&address, hostName.c_str()) != 0) {
        Log("unknown host \"" + hostName + "\"");
        return false;
    }
    address.port = serverPort;
    if (!OpenHost(clientPort, 1, "client"))
        return false;
    ENetPeer* peer = enet_host_connect(host, &address, kEnetChannels, 0);
    if (!peer) {
        Log("no connection could be started");
        CloseHost();
        return false;
    }
    auto remote = std::make_unique<Remote>();
    remote->peer = peer;
    remote->id = {address.host, address.port};
    peer->data = remote.get();
    if (config.timeoutMs)
        enet_peer_timeout(peer, 0, config.timeoutMs, config.timeoutMs);
    remotes.push_back(std::move(remote));
    enet_host_flush(host);
    service = std::thread([this] { ServiceLoop(); });
    return true;
}

void Peer::Disconnect(std::uint32_t blockMs)
{
    stopping = true;
    if (wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(wakeFd, &one, sizeof one);
    }
    if (service.joinable())
        service.join();
    std::lock_guard lock(hostMutex);
    if (!host)
        return;
    for (const auto& remote : remotes)
        enet_peer_disconnect(remote->peer, static_cast<std::uint32_t>(Reason::Quit));
    enet_host_flush(host);
    // Wait for the far ends to confirm, so that they hear of the end at once instead of timing out.
    LinkScope scope(link.get());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(blockMs);
    std::size_t open = remotes.size();
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        if (link)
            link->Reinject(host);
        ENetEvent event;
        const int result = enet_host_service(host, &event, static_cast<std::uint32_t>(std::min<long>(left.count(), kServiceWaitMs)));
        if (result < 0)
            break;
        if (result > 0 && event.type == ENET_EVENT_TYPE_RECEIVE)
            enet_packet_destroy(event.packet);
        if (result > 0 && event.type == ENET_EVENT_TYPE_DISCONNECT)
            --open;
    }
    for (const auto& remote : remotes)
        if (remote->peer->state != ENET_PEER_STATE_DISCONNECTED)
            enet_peer_reset(remote->peer);
    CloseHost();
}

std::int64_t Peer::SteadyMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Peer::ServiceLoop()
{
    const int socket = host->socket;
    while (!stopping) {
        // While the main thread pumps or sends on the host itself, this thread keeps off the
        // socket: two threads woken by every datagram would only hand each other the lock. It only
        // sends the records a burst left behind, soon after they stop coming. It never waits for
        // the lock either: a main thread that holds it is sending or servicing.
        const bool mainPumping = SteadyMicroseconds() - lastMainService.load() < kMainPumpingUs;
        bool busy = false; // another thread is on the host, and reads the socket if it needs to
        if (!mainPumping || flushPending) {
            std::unique_lock lock(hostMutex, std::try_to_lock);
            busy = !lock.owns_lock();
            if (!busy && mainPumping)
                FlushLocked();
            else if (!busy)
                ServiceLocked();
        }
        pollfd waits[2] = {{wakeFd, POLLIN, 0}, {socket, POLLIN, 0}};
        const bool watchSocket = !mainPumping && !busy;
        const std::int64_t waitUs = flushPending || busy ? kFlushWaitUs : watchSocket ? kServiceWaitMs * 1000 : kMainPumpingUs;
        const timespec wait{0, static_cast<long>(waitUs * 1000)};
        if (ppoll(waits, watchSocket ? 2 : 1, &wait, nullptr) > 0 && (waits[0].revents & POLLIN)) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto read = ::read(wakeFd, &count, sizeof count);
        }
    }
}

void Peer::FlushLocked()
{
    if (!host)
        return;
    enet_host_flush(host);
    sentSinceService = false;
    flushPending = false;
    unflushedBytes = 0;
    unflushedCommands = 0;
}

void Peer::ServiceLocked()
{
    if (!host)
        return;
    LinkScope scope(link.get());
    if (link)
        link->Reinject(host);
    ENetEvent event;
    while (host && enet_host_service(host, &event, 0) > 0) {
        switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT: HandleConnect(event.peer); break;
        case ENET_EVENT_TYPE_DISCONNECT: HandleDisconnect(event.peer, event.data); break;
        case ENET_EVENT_TYPE_RECEIVE: HandleReceive(event.peer, ReceivedPacket(event.packet)); break;
        case ENET_EVENT_TYPE_NONE: break;
        }
    }
    Periodic();
    FlushLocked();
    if (!emitted.empty()) {
        std::lock_guard lock(queueMutex);
        if (queue.empty())
            queue.swap(emitted);
        else
            std::move(emitted.begin(), emitted.end(), std::back_inserter(queue));
        emitted.clear();
    }
}

Peer::Remote* Peer::RemoteOf(ENetPeer* peer) { return peer ? static_cast<Remote*>(peer->data) : nullptr; }

void Peer::HandleConnect(ENetPeer* peer)
{
    if (role == InterfaceKind::Client) {
        Remote* remote = RemoteOf(peer);
        if (!remote)
            return;
        std::vector<std::uint8_t> hello = ControlFrame(ControlType::Hello);
        wire::Writer(hello).U32(Now()).U8(static_cast<std::uint8_t>(password.size())).Bytes(password.data(), password.size());
        SendControl(*remote, hello);
        return;
    }
    auto remote = std::make_unique<Remote>();
    remote->peer = peer;
    remote->id = {peer->address.host, peer->address.port};
    peer->data = remote.get();
    if (config.timeoutMs)
        enet_peer_timeout(peer, 0, config.timeoutMs, config.timeoutMs);
    if (bans.IsBanned(peer->address.host)) {
        Log("refused banned address " + AddressText(peer->address.host));
        remote->silent = true;
        enet_peer_disconnect_later(peer, static_cast<std::uint32_t>(Reason::Banned));
    }
    remotes.push_back(std::move(remote));
}

void Peer::ReleaseRemote(Remote& remote)
{
    if (remote.slot < kMaxPlayers && slots[remote.slot] == &remote)
        slots[remote.slot] = nullptr;
    remote.peer->data = nullptr;
    std::erase_if(remotes, [&remote](const std::unique_ptr<Remote>& r) { return r.get() == &remote; });
}

void Peer::HandleDisconnect(ENetPeer* peer, std::uint32_t reasonValue)
{
    Remote* remote = RemoteOf(peer);
    if (!remote)
        return;
    const auto reason = static_cast<Reason>(reasonValue);
    if (role == InterfaceKind::Server) {
        if (remote->accepted && !remote->silent) {
            const bool lost = reason == Reason::TimedOut;
            EmitEvent(remote, lost ? event::kConnectionLost : event::kDisconnectionNotification);
            slots[remote->slot] = nullptr;
            SendNotice(lost ? event::kRemoteConnectionLost : event::kRemoteDisconnection, *remote);
        }
        ReleaseRemote(*remote);
        return;
    }
    connected = false;
    std::uint8_t id = event::kDisconnectionNotification;
    switch (reason) {
    case Reason::TimedOut: id = event::kConnectionLost; break;
    case Reason::Banned: id = event::kConnectionBanned; break;
    case Reason::Full: id = event::kNoFreeIncomingConnections; break;
    case Reason::BadPassword: id = event::kInvalidPassword; break;
    case Reason::Quit:
    case Reason::Kicked: break;
    default: Log("disconnected with the unknown reason " + std::to_string(reasonValue)); break;
    }
    EmitEvent(remote, id);
    ReleaseRemote(*remote);
}

void Peer::HandleReceive(ENetPeer* peer, ReceivedPacket packet)
{
    Remote* remote = RemoteOf(peer);
    if (!remote || remote->silent)
        return;
    const std::uint8_t* data = packet->data;
    const std::size_t size = packet->dataLength;
    if (size == 0) {
        Log("empty frame from " + AddressText(remote->id.binaryAddress) + " dropped");
        return;
    }
    const bool mayPlay = role == InterfaceKind::Client || remote->accepted;
    switch (static_cast<FrameKind>(data[0])) {
    case FrameKind::Game:
        if (mayPlay)
            HandleGame(*remote, std::move(packet));
        else
            Log("record from a player not yet accepted dropped");
        return;
    case FrameKind::Rpc:
        if (mayPlay)
            HandleRpc(*remote, std::move(packet));
        else
            Log("procedure call from a player not yet accepted dropped");
        return;
    case FrameKind::Control: HandleControl(*remote, data + 1, size - 1); return;
    }
    Log("frame of unknown kind " + std::to_string(data[0]) + " dropped");
}

std::uint32_t Peer::ToLocalTime(const Remote& remote, std::uint32_t remoteTime) const
{
    return remoteTime + static_cast<std::uint32_t>(remote.offset);
}

void Peer::HandleGame(Remote& remote, ReceivedPacket packet)
{
    // The record follows the frame's kind byte; a time stamp is rewritten where it lies.
    std::uint8_t* record = packet->data + 1;
    const std::size_t size = packet->dataLength - 1;
    if (size == 0) {
        Log("empty record dropped");
        return;
    }
    if (size > config.maxRecordSize) {
        Log("record of " + std::to_string(size) + " bytes over the limit dropped");
        return;
    }
    if (record[0] == event::kTimestamp) {
        // The time, then the record's own identifier at byte 5.
        if (size < 6) {
            Log("time-stamped record of " + std::to_string(size) + " bytes dropped");
            return;
        }
        wire::WriteU32(&record[1], ToLocalTime(remote, wire::ReadU32(&record[1])));
    }
    EmitReceived(remote, std::move(packet), 1, size, -1, 0);
}

void Peer::HandleRpc(Remote& remote, ReceivedPacket packet)
{
    wire::RpcFrame frame;
    if (!wire::DecodeRpc(packet->data, packet->dataLength, frame)) {
        Log("malformed procedure call dropped");
        return;
    }
    const auto found = std::find_if(procedures.begin(), procedures.end(),
                                    [&frame](const auto& procedure) { return procedure.first == frame.name; });
    if (found == procedures.end()) {
        Log("call of the unregistered procedure \"" + frame.name + "\" dropped");
        return;
    }
    const std::size_t offset = static_cast<std::size_t>(frame.payload - packet->data);
    std::uint8_t* payload = packet->data + offset;
    if (frame.timestamp)
        wire::WriteU32(payload, ToLocalTime(remote, wire::ReadU32(payload)));
    EmitReceived(remote, std::move(packet), offset, frame.payloadBytes, static_cast<int>(found - procedures.begin()),
                 frame.bitLength);
}

void Peer::HandleControl(Remote& remote, const std::uint8_t* data, std::size_t size)
{
    wire::Reader reader(data, size);
    std::uint8_t type = 0;
    if (!reader.U8(type)) {
        Log("empty control frame dropped");
        return;
    }
    const bool server = role == InterfaceKind::Server;
    const auto malformed = [this, type] { Log("malformed control frame " + std::to_string(type) + " dropped"); };
    switch (static_cast<ControlType>(type)) {
    case ControlType::Hello:
        if (server)
            HandleHello(remote, data + 1, size - 1);
        else
            malformed();
        return;
    case ControlType::Accept:
        if (!server)
            HandleAccept(remote, data + 1, size - 1);
        else
            malformed();
        return;
    case ControlType::ServerData:
    case ControlType::ClientData: {
        const bool fits = server ? type == static_cast<std::uint8_t>(ControlType::ClientData) && remote.accepted
                                 : type == static_cast<std::uint8_t>(ControlType::ServerData);
        if (!fits || reader.Left() > wire::kMaxStaticData)
            return malformed();
        std::vector<std::uint8_t> record{event::kReceivedStaticData};
        record.insert(record.end(), data + 1, data + size);
        if (!server)
            staticServerData.assign(data + 1, data + size);
        Emit(&remote, std::move(record));
        return;
    }
    case ControlType::Ping: {
        std::uint32_t time = 0;
        if (!reader.U32(time) || reader.Left() != 0)
            return malformed();
        std::vector<std::uint8_t> pong = ControlFrame(ControlType::Pong);
        wire::Writer(pong).U32(time).U32(Now());
        SendControl(remote, pong);
        return;
    }
    case ControlType::Pong: {
        std::uint32_t echoed = 0, theirs = 0;
        if (!reader.U32(echoed) || !reader.U32(theirs) || reader.Left() != 0)
            return malformed();
        const std::uint32_t roundTrip = Now() - echoed;
        if (roundTrip > kBogusRoundTrip)
            return malformed();
        remote.AddSample(roundTrip, static_cast<std::int32_t>(echoed + roundTrip / 2 - theirs));
        return;
    }
    case ControlType::Notice: {
        std::uint8_t id = 0;
        std::uint16_t slot = 0, port = 0;
        std::uint32_t address = 0;
        if (server || !reader.U8(id) || !reader.U16(slot) || !reader.U32(address) || !reader.U16(port) ||
            reader.Left() != 0 || slot >= kMaxPlayers ||
            (id != event::kRemoteDisconnection && id != event::kRemoteConnectionLost &&
             id != event::kRemoteNewIncomingConnection))
            return malformed();
        std::vector<std::uint8_t> record{id};
        wire::Writer(record).U16(slot);
        Emit({address, port}, slot, std::move(record));
        return;
    }
    case ControlType::PingTable: {
        std::array<std::uint16_t, kMaxPlayers> table{};
        if (server)
            return malformed();
        for (auto& ping : table)
            if (!reader.U16(ping))
                return malformed();
        if (reader.Left() != 0)
            return malformed();
        pingTable = table;
        return;
    }
    case ControlType::SyncRandom: {
        std::uint32_t value = 0;
        if (server || !reader.U32(value) || reader.Left() != 0)
            return malformed();
        syncRandom = value;
        return;
    }
    }
    malformed();
}

void Peer::HandleHello(Remote& remote, const std::uint8_t* data, std::size_t size)
{
    wire::Reader reader(data, size);
    std::uint32_t clientTime = 0;
    std::uint8_t length = 0;
    const std::uint8_t* text = nullptr;
    if (remote.accepted || !reader.U32(clientTime) || !reader.U8(length) || length > wire::kMaxPassword ||
        !reader.Bytes(length, text) || reader.Left() != 0) {
        Log("malformed greeting from " + AddressText(remote.id.binaryAddress) + " dropped");
        return;
    }
    const auto refuse = [this, &remote](Reason reason, const char* why) {
        Log(std::string("refused ") + AddressText(remote.id.binaryAddress) + ": " + why);
        remote.silent = true;
        enet_peer_disconnect_later(remote.peer, static_cast<std::uint32_t>(reason));
    };
    const auto freeSlot = std::find(slots.begin(), slots.end(), nullptr);
    if (ConnectedLocked() >= allowedPlayers || freeSlot == slots.end())
        return refuse(Reason::Full, "the server is full");
    if (std::string(reinterpret_cast<const char*>(text), length) != password)
        return refuse(Reason::BadPassword, "wrong password");
    remote.slot = static_cast<std::uint16_t>(freeSlot - slots.begin());
    remote.accepted = true;
    *freeSlot = &remote;
    // A first estimate of the clock offset from ENet's own round trip; pings refine it.
    const std::uint32_t now = Now();
    remote.offset = static_cast<std::int32_t>(now - remote.peer->roundTripTime / 2 - clientTime);

    std::vector<std::uint8_t> accept = ControlFrame(ControlType::Accept);
    wire::Writer(accept).U16(remote.slot).U32(remote.id.binaryAddress).U16(remote.id.port).U32(clientTime).U32(now);
    SendControl(remote, accept);
    SendServerData(remote);
    std::vector<std::uint8_t> random = ControlFrame(ControlType::SyncRandom);
    wire::Writer(random).U32(syncRandom);
    SendControl(remote, random);
    SendNotice(event::kRemoteNewIncomingConnection, remote);
    EmitEvent(&remote, event::kNewIncomingConnection);
}

void Peer::HandleAccept(Remote& remote, const std::uint8_t* data, std::size_t size)
{
    wire::Reader reader(data, size);
    std::uint16_t slot = 0, port = 0;
    std::uint32_t address = 0, echoed = 0, serverTime = 0;
    if (remote.accepted || !reader.U16(slot) || !reader.U32(address) || !reader.U16(port) || !reader.U32(echoed) ||
        !reader.U32(serverTime) || reader.Left() != 0 || slot >= kMaxPlayers) {
        Log("malformed acceptance dropped");
        return;
    }
    const std::uint32_t roundTrip = Now() - echoed;
    if (roundTrip <= kBogusRoundTrip)
        remote.AddSample(roundTrip, static_cast<std::int32_t>(echoed + roundTrip / 2 - serverTime));
    remote.accepted = true;
    ownIndex = slot;
    ownId = {address, port};
    connected = true;
    std::vector<std::uint8_t> record{event::kConnectionRequestAccepted};
    wire::Writer(record).U16(slot).U32(address).U16(port);
    Emit(ownId, slot, std::move(record));
    std::vector<std::uint8_t> clientData = ControlFrame(ControlType::ClientData);
    wire::Writer(clientData).Bytes(staticClientData.data(), staticClientData.size());
    SendControl(remote, clientData);
}

void Peer::Periodic()
{
    const std::uint32_t now = Now();
    for (const auto& remote : remotes) {
        if (!remote->accepted || remote->silent)
            continue;
        if (!remote->pinged || TimeDifference(now, remote->lastPingSent) >= static_cast<std::int32_t>(config.pingIntervalMs)) {
            std::vector<std::uint8_t> ping = ControlFrame(ControlType::Ping);
            wire::Writer(ping).U32(now);
            SendControl(*remote, ping);
            remote->lastPingSent = now;
            remote->pinged = true;
        }
    }
    if (role == InterfaceKind::Server && TimeDifference(now, lastPingTable) >= static_cast<std::int32_t>(config.pingIntervalMs)) {
        lastPingTable = now;
        std::vector<std::uint8_t> table = ControlFrame(ControlType::PingTable);
        wire::Writer writer(table);
        for (const Remote* slot : slots)
            writer.U16(slot && slot->samples ? static_cast<std::uint16_t>(std::min(slot->AveragePing(), 0xFFFE)) : 0xFFFF);
        for (Remote* slot : slots)
            if (slot)
                SendControl(*slot, table);
    }
}

void Peer::SendControl(Remote& remote, const std::vector<std::uint8_t>& frame)
{
    ENetPacket* packet = enet_packet_create(frame.data(), frame.size(), ENET_PACKET_FLAG_RELIABLE);
    if (packet && enet_peer_send(remote.peer, kControlChannel, packet) != 0)
        enet_packet_destroy(packet);
}

void Peer::SendNotice(std::uint8_t eventId, const Remote& about)
{
    std::vector<std::uint8_t> notice = ControlFrame(ControlType::Notice);
    wire::Writer(notice).U8(eventId).U16(about.slot).U32(about.id.binaryAddress).U16(about.id.port);
    for (Remote* slot : slots)
        if (slot && slot != &about)
            SendControl(*slot, notice);
}

void Peer::Emit(const Remote* from, std::vector<std::uint8_t> record)
{
    Emit(from ? from->id : kUnassignedPlayerId, from ? from->slot : kNoPlayerIndex, std::move(record));
}

void Peer::Emit(PlayerId id, std::uint16_t index, std::vector<std::uint8_t> record)
{
    Queued& item = emitted.emplace_back();
    item.length = static_cast<std::uint32_t>(record.size());
    item.own = std::move(record);
    item.id = id;
    item.index = index;
}

void Peer::EmitReceived(const Remote& from, ReceivedPacket packet, std::size_t offset, std::size_t length, int rpc,
                        std::uint32_t rpcBits)
{
    Queued& item = emitted.emplace_back();
    item.packet = std::move(packet);
    item.offset = static_cast<std::uint32_t>(offset);
    item.length = static_cast<std::uint32_t>(length);
    item.id = from.id;
    item.index = from.slot;
    item.rpc = rpc;
    item.rpcBits = rpcBits;
}

void Peer::EmitEvent(const Remote* from, std::uint8_t eventId) { Emit(from, {eventId}); }

bool Peer::WindowFull() const
{
    return std::any_of(remotes.begin(), remotes.end(), [](const std::unique_ptr<Remote>& remote) {
        return !enet_list_empty(&remote->peer->outgoingCommands);
    });
}

bool Peer::SendLocked(ENetPacket* packet, std::uint8_t channel, std::uint16_t target, bool broadcast)
{
    // A sending thread reads what its window needs here, so the service thread keeps off meanwhile.
    lastMainService = SteadyMicroseconds();
    // The first record after a service leaves at once, and a burst behind it datagram by datagram,
    // as full as ENet fills them (at most 32 commands, up to its MTU); the rest goes with the next
    // service or with the service thread's flush soon after the burst. Waking that thread for
    // every burst would have it contend for the lock with the sender.
    const std::size_t commandBytes = CommandBytes(packet);
    const std::size_t datagram = host->mtu - sizeof(ENetProtocolHeader) - kAcknowledgementRoom;
    if (unflushedCommands > 0 && unflushedBytes + commandBytes > datagram)
        FlushBurst();
    bool sent = false;
    for (const auto& remote : remotes) {
        if (!remote->accepted || remote->silent)
            continue;
        const bool wanted = role == InterfaceKind::Client || (broadcast ? remote->slot != target : remote->slot == target);
        if (wanted && enet_peer_send(remote->peer, channel, packet) == 0)
            sent = true;
    }
    if (packet->referenceCount == 0)
        enet_packet_destroy(packet);
    unflushedBytes += commandBytes;
    ++unflushedCommands;
    if (!sentSinceService || unflushedBytes >= datagram || unflushedCommands >= kDatagramCommands)
        FlushBurst();
    else
        flushPending = true;
    // A broadcast to nobody is no failure: the game broadcasts whether or not anyone listens.
    return sent || (broadcast && role == InterfaceKind::Server);
}

void Peer::FlushBurst()
{
    enet_host_flush(host);
    // Records that ENet held back wait for acknowledgements to open its window; those that came
    // meanwhile are read here rather than left for the service thread to wake up to.
    if (WindowFull())
        ServiceLocked();
    sentSinceService = true;
    flushPending = false;
    unflushedBytes = 0;
    unflushedCommands = 0;
}

bool Peer::Send(const void* data, std::size_t length, PacketPriority, PacketReliability reliability, int channel,
                std::uint16_t target, bool broadcast)
{
    if (!data || !ValidSend(length, config.maxRecordSize, reliability, channel)) {
        Log("send of " + std::to_string(length) + " bytes refused");
        return false;
    }
    if (static_cast<const std::uint8_t*>(data)[0] == event::kTimestamp && length < 6) {
        Log("time-stamped record of " + std::to_string(length) + " bytes refused");
        return false;
    }
    std::lock_guard lock(hostMutex);
    if (!host)
        return false;
    const Route route = RouteOf(reliability, channel);
    ENetPacket* packet = enet_packet_create(nullptr, length + 1, route.flags);
    if (!packet)
        return false;
    packet->data[0] = static_cast<std::uint8_t>(FrameKind::Game);
    std::memcpy(packet->data + 1, data, length);
    return SendLocked(packet, route.channel, target, broadcast);
}

bool Peer::Rpc(const std::string& name, const void* data, std::uint32_t bitLength, PacketPriority,
               PacketReliability reliability, int channel, std::uint16_t target, bool broadcast, bool timestamp)
{
    const std::size_t bytes = (static_cast<std::size_t>(bitLength) + 7) / 8;
    if (name.empty() || name.size() > wire::kMaxRpcName || (bytes > 0 && !data) || (timestamp && bitLength < 32) ||
        !ValidSend(bytes + 1, config.maxRecordSize, reliability, channel)) {
        Log("call of \"" + name + "\" refused");
        return false;
    }
    std::vector<std::uint8_t> frame;
    wire::EncodeRpc(frame, name, timestamp, data, bitLength);
    std::lock_guard lock(hostMutex);
    if (!host)
        return false;
    const Route route = RouteOf(reliability, channel);
    ENetPacket* packet = enet_packet_create(frame.data(), frame.size(), route.flags);
    if (!packet)
        return false;
    return SendLocked(packet, route.channel, target, broadcast);
}

bool Peer::PopQueued(Queued& item)
{
    if (readyAt == ready.size()) {
        ready.clear();
        readyAt = 0;
        std::lock_guard lock(queueMutex);
        ready.swap(queue);
    }
    if (readyAt == ready.size())
        return false;
    item = std::move(ready[readyAt++]);
    return true;
}

Packet* Peer::Lend(Queued& item)
{
    Lent* entry = nullptr;
    if (!spare.empty()) {
        entry = spare.back();
        spare.pop_back();
    } else {
        entry = lent.emplace_back(std::make_unique<Lent>()).get();
        entry->packet.lentIndex = static_cast<std::uint32_t>(lent.size() - 1);
    }
    Packet& packet = entry->packet;
    if (item.packet) {
        entry->buffer = std::move(item.packet);
        packet.data = entry->buffer->data + item.offset;
    } else {
        packet.bytes.swap(item.own);
        packet.data = packet.bytes.empty() ? nullptr : packet.bytes.data();
    }
    packet.length = item.length;
    packet.bitSize = item.length * 8;
    packet.playerIndex = item.index;
    packet.playerId = item.id;
    packet.owner = this;
    return &packet;
}

Packet* Peer::Receive()
{
    if (!pushedBack.empty()) {
        Packet* packet = pushedBack.back();
        pushedBack.pop_back();
        packet->owner = this;
        return packet;
    }
    for (;;) {
        Queued item;
        if (!PopQueued(item)) {
            {
                std::unique_lock lock(hostMutex, std::try_to_lock);
                if (lock.owns_lock()) {
                    lastMainService = SteadyMicroseconds();
                    ServiceLocked();
                }
            }
            if (!PopQueued(item))
                return nullptr;
        }
        if (item.rpc < 0)
            return Lend(item);
        // The handler may call Receive itself; the item is this frame's own by now.
        RpcCall call;
        call.data = item.packet ? item.packet->data + item.offset : nullptr;
        call.bitLength = item.rpcBits;
        call.sender = item.id;
        call.senderIndex = item.index;
        call.deliveredBy = role;
        procedures[item.rpc].second(call);
    }
}

bool Peer::IsLent(const Packet* packet) const
{
    return packet->owner == this && packet->lentIndex < lent.size() && &lent[packet->lentIndex]->packet == packet;
}

void Peer::DeallocatePacket(Packet* packet)
{
    if (!packet)
        return;
    if (!IsLent(packet)) {
        Log("a packet not handed out by this interface was not released");
        return;
    }
    Lent& entry = *lent[packet->lentIndex];
    entry.buffer.reset();
    entry.packet.owner = nullptr;
    entry.packet.data = nullptr;
    entry.packet.bytes.clear();
    spare.push_back(&entry);
}

void Peer::PushBackPacket(Packet* packet)
{
    if (!packet || !IsLent(packet)) {
        Log("a packet not handed out by this interface was not pushed back");
        return;
    }
    packet->owner = nullptr;
    pushedBack.push_back(packet);
}

void Peer::ReturnPushedBack()
{
    for (Packet* packet : pushedBack) {
        packet->owner = this;
        DeallocatePacket(packet);
    }
    pushedBack.clear();
}

bool Peer::RegisterRpc(const std::string& name, RpcHandler handler)
{
    std::lock_guard lock(hostMutex);
    const bool known = std::any_of(procedures.begin(), procedures.end(), [&name](const auto& p) { return p.first == name; });
    bool printable = !name.empty() && name.size() <= wire::kMaxRpcName;
    for (const char c : name)
        printable = printable && c > 0x20 && c < 0x7F;
    if (proceduresFrozen || known || !printable || !handler) {
        Log("procedure \"" + name + "\" not registered");
        return false;
    }
    procedures.emplace_back(name, std::move(handler));
    return true;
}

bool Peer::Kick(std::uint16_t index)
{
    std::lock_guard lock(hostMutex);
    if (role != InterfaceKind::Server || index >= kMaxPlayers || !slots[index])
        return false;
    Remote& remote = *slots[index];
    remote.silent = true;
    slots[index] = nullptr;
    SendNotice(event::kRemoteDisconnection, remote);
    enet_peer_disconnect_later(remote.peer, static_cast<std::uint32_t>(Reason::Kicked));
    enet_host_flush(host);
    return true;
}

bool Peer::AddBan(const std::string& entry)
{
    std::lock_guard lock(hostMutex);
    return bans.Add(entry);
}

void Peer::RemoveBan(const std::string& entry)
{
    std::lock_guard lock(hostMutex);
    bans.Remove(entry);
}

void Peer::ClearBans()
{
    std::lock_guard lock(hostMutex);
    bans.Clear();
}

bool Peer::IsBanned(const std::string& address) const
{
    std::lock_guard lock(hostMutex);
    return bans.IsBanned(address);
}

void Peer::SetPassword(const std::string& text)
{
    std::lock_guard lock(hostMutex);
    password = text.substr(0, wire::kMaxPassword);
}

std::string Peer::Password() const
{
    std::lock_guard lock(hostMutex);
    return password;
}

void Peer::SetAllowedPlayers(std::uint16_t count)
{
    std::lock_guard lock(hostMutex);
    allowedPlayers = std::min<std::uint16_t>(count, kMaxPlayers);
}

std::uint16_t Peer::AllowedPlayers() const
{
    std::lock_guard lock(hostMutex);
    return allowedPlayers;
}

std::uint16_t Peer::ConnectedPlayers() const
{
    std::lock_guard lock(hostMutex);
    return ConnectedLocked();
}

std::uint16_t Peer::ConnectedLocked() const
{
    return static_cast<std::uint16_t>(std::count_if(slots.begin(), slots.end(), [](const Remote* r) { return r != nullptr; }));
}

PlayerId Peer::PlayerIdFromIndex(std::uint16_t index) const
{
    std::lock_guard lock(hostMutex);
    return index < kMaxPlayers && slots[index] ? slots[index]->id : kUnassignedPlayerId;
}

std::uint16_t Peer::IndexFromPlayerId(PlayerId id) const
{
    std::lock_guard lock(hostMutex);
    for (std::uint16_t i = 0; i < kMaxPlayers; ++i)
        if (slots[i] && slots[i]->id == id)
            return i;
    return kNoPlayerIndex;
}

void Peer::SetStaticServerData(const std::vector<std::uint8_t>& data)
{
    if (data.size() > wire::kMaxStaticData) {
        Log("static data of " + std::to_string(data.size()) + " bytes refused");
        return;
    }
    std::lock_guard lock(hostMutex);
    staticServerData = data;
    ++serverDataVersion;
}

void Peer::SendStaticServerData(std::uint16_t index)
{
    std::lock_guard lock(hostMutex);
    // A player is sent the data on acceptance; the host's handshake asks again when the player's own
    // data arrives, and a second copy of the same data would be a second event for its game.
    if (!host || index >= kMaxPlayers || !slots[index] || slots[index]->serverDataSent == serverDataVersion)
        return;
    SendServerData(*slots[index]);
    enet_host_flush(host);
}

void Peer::SendServerData(Remote& remote)
{
    std::vector<std::uint8_t> settings = ControlFrame(ControlType::ServerData);
    wire::Writer(settings).Bytes(staticServerData.data(), staticServerData.size());
    SendControl(remote, settings);
    remote.serverDataSent = serverDataVersion;
}

void Peer::SetSynchronizedRandomInteger(std::uint32_t value)
{
    std::lock_guard lock(hostMutex);
    syncRandom = value;
    if (!host)
        return;
    std::vector<std::uint8_t> random = ControlFrame(ControlType::SyncRandom);
    wire::Writer(random).U32(value);
    for (Remote* slot : slots)
        if (slot)
            SendControl(*slot, random);
    enet_host_flush(host);
}

void Peer::SetStaticClientData(const std::vector<std::uint8_t>& data)
{
    if (data.size() > wire::kMaxStaticData) {
        Log("static data of " + std::to_string(data.size()) + " bytes refused");
        return;
    }
    std::lock_guard lock(hostMutex);
    staticClientData = data;
}

std::vector<std::uint8_t> Peer::StaticServerData() const
{
    std::lock_guard lock(hostMutex);
    return staticServerData;
}

std::uint32_t Peer::SynchronizedRandomInteger() const
{
    std::lock_guard lock(hostMutex);
    return syncRandom;
}

std::uint16_t Peer::OwnIndex() const
{
    std::lock_guard lock(hostMutex);
    return ownIndex;
}

PlayerId Peer::OwnPlayerId() const
{
    std::lock_guard lock(hostMutex);
    return ownId;
}

int Peer::TablePing(std::uint16_t index) const
{
    std::lock_guard lock(hostMutex);
    return index < kMaxPlayers && pingTable[index] != 0xFFFF ? pingTable[index] : -1;
}

int Peer::LastPing(std::uint16_t index) const
{
    std::lock_guard lock(hostMutex);
    if (role == InterfaceKind::Client)
        return remotes.empty() ? -1 : remotes.front()->LastPing();
    return index < kMaxPlayers && slots[index] ? slots[index]->LastPing() : -1;
}

int Peer::AveragePing(std::uint16_t index) const
{
    std::lock_guard lock(hostMutex);
    if (role == InterfaceKind::Client)
        return remotes.empty() ? -1 : remotes.front()->AveragePing();
    return index < kMaxPlayers && slots[index] ? slots[index]->AveragePing() : -1;
}

} // namespace platform::net
