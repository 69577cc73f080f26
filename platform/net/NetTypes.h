#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::net {

// A remote machine as the network sees it: IPv4 address (network byte order) and port.
struct PlayerId {
    std::uint32_t binaryAddress = 0xFFFFFFFFu;
    std::uint16_t port = 0xFFFF;

    bool operator==(const PlayerId&) const = default;
};

inline constexpr PlayerId kUnassignedPlayerId{};
// Player indices run 0 to kMaxPlayers - 1; this index means none (or the server itself).
inline constexpr std::uint16_t kMaxPlayers = 32;
inline constexpr std::uint16_t kNoPlayerIndex = 0xFFFF;
inline constexpr int kOrderingChannels = 32;

enum class PacketPriority : int { System = 0, High = 1, Medium = 2, Low = 3 };

enum class PacketReliability : int {
    Unreliable = 0,
    UnreliableSequenced = 1,
    Reliable = 2,
    ReliableOrdered = 3,
    ReliableSequenced = 4,
};

// The layer's own events, in byte 0 of the records it hands the game.
namespace event {
inline constexpr std::uint8_t kRemoteDisconnection = 12;
inline constexpr std::uint8_t kRemoteConnectionLost = 13;
inline constexpr std::uint8_t kRemoteNewIncomingConnection = 14;
inline constexpr std::uint8_t kConnectionBanned = 17;
inline constexpr std::uint8_t kConnectionRequestAccepted = 18;
inline constexpr std::uint8_t kNewIncomingConnection = 19;
inline constexpr std::uint8_t kNoFreeIncomingConnections = 20;
inline constexpr std::uint8_t kDisconnectionNotification = 21;
inline constexpr std::uint8_t kConnectionLost = 22;
inline constexpr std::uint8_t kTimestamp = 23;
inline constexpr std::uint8_t kReceivedStaticData = 24;
inline constexpr std::uint8_t kInvalidPassword = 25;
// Raised only for a verified integrity failure; this layer verifies none, so it never raises it:
// a malformed frame is dropped with a log line instead.
inline constexpr std::uint8_t kModifiedPacket = 26;
} // namespace event

// One received record. Valid until handed back with DeallocatePacket; PushBackPacket returns it
// to the front of the queue instead.
struct Packet {
    std::uint16_t playerIndex = kNoPlayerIndex;
    PlayerId playerId;
    std::uint32_t length = 0;  // bytes
    std::uint32_t bitSize = 0; // length * 8
    unsigned char* data = nullptr;
    std::vector<unsigned char> bytes; // storage of the layer's own events that data points into
    const void* owner = nullptr;      // the interface that handed it out, until it is given back
    std::uint32_t lentIndex = 0xFFFFFFFFu; // the interface's own bookkeeping
};

// Which interface delivered a remote procedure call.
enum class InterfaceKind { Client, Server };

struct RpcCall {
    const unsigned char* data = nullptr; // ceil(bitLength / 8) bytes
    std::uint32_t bitLength = 0;
    PlayerId sender;
    std::uint16_t senderIndex = kNoPlayerIndex; // the server's index of the sender; none on a client
    InterfaceKind deliveredBy = InterfaceKind::Client;
};

using RpcHandler = std::function<void(const RpcCall&)>;
using LogSink = std::function<void(const std::string&)>;

// "a.b.c.d" of an address in network byte order.
std::string AddressText(std::uint32_t binaryAddress);
// Parses "a.b.c.d"; false on anything else.
bool ParseAddress(const std::string& text, std::uint32_t& binaryAddress);
// The IPv4 addresses of this machine's interfaces, loopback last.
std::vector<std::string> LocalAddresses();
// The transport under this layer as the logs name it, with the version linked: "ENet 1.3.17".
std::string TransportName();

} // namespace platform::net
