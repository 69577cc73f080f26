#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The layer's own framing: only copies of this program talk to each other, so everything below
// the game's records is ours. Byte 0 of every ENet packet names the frame kind.
namespace platform::net::wire {

enum class FrameKind : std::uint8_t { Game = 0, Rpc = 1, Control = 2 };

enum class ControlType : std::uint8_t {
    Hello = 1,      // client -> server: u32 client time, u8 length, password
    Accept = 2,     // server -> client: u16 slot, u32 address, u16 port, u32 echoed time, u32 server time
    ServerData = 3, // server -> client: the static server data
    ClientData = 4, // client -> server: the static client data
    Ping = 5,       // u32 sender time
    Pong = 6,       // u32 echoed time, u32 responder time
    Notice = 7,     // server -> client: u8 event (12, 13, 14), u16 slot, u32 address, u16 port
    PingTable = 8,  // server -> client: 32 x u16 ping (0xFFFF: empty slot)
    SyncRandom = 9, // server -> client: u32
};

inline constexpr std::size_t kMaxPassword = 64;
inline constexpr std::size_t kMaxStaticData = 8192;
inline constexpr std::size_t kMaxRpcName = 32;

// ENet disconnection data; 0 is what ENet reports on a timeout.
enum class Reason : std::uint32_t { TimedOut = 0, Quit = 1, Kicked = 2, Banned = 3, Full = 4, BadPassword = 5 };

class Writer {
public:
    explicit Writer(std::vector<std::uint8_t>& out) : out(out) {}
    Writer& U8(std::uint8_t value);
    Writer& U16(std::uint16_t value);
    Writer& U32(std::uint32_t value);
    Writer& Bytes(const void* data, std::size_t size);

private:
    std::vector<std::uint8_t>& out;
};

// Every read fails (false) past the end and leaves its output untouched.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    bool U8(std::uint8_t& value);
    bool U16(std::uint16_t& value);
    bool U32(std::uint32_t& value);
    bool Bytes(std::size_t count, const std::uint8_t*& at);
    std::size_t Left() const { return size - at; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

inline std::uint32_t ReadU32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}
inline void WriteU32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A remote procedure frame: u8 kind, u8 flags (bit 0: the payload starts with a time stamp), u8
// name length, the name, u32 bit length, then exactly ceil(bits / 8) payload bytes.
struct RpcFrame {
    std::string name;
    bool timestamp = false;
    std::uint32_t bitLength = 0;
    const std::uint8_t* payload = nullptr;
    std::size_t payloadBytes = 0;
};
void EncodeRpc(std::vector<std::uint8_t>& out, const std::string& name, bool timestamp, const void* data,
               std::uint32_t bitLength);
// False for a frame that is short, long, names no procedure or carries a name with control bytes.
bool DecodeRpc(const std::uint8_t* frame, std::size_t size, RpcFrame& out);

} // namespace platform::net::wire
