#include "platform/net/PeerPacketLink.h"

namespace platform::net {

bool PeerPacketLink::Send(PeerHandle peer, const std::uint8_t* data, std::size_t size)
{
    constexpr auto priority = PacketPriority::Low;
    constexpr auto reliability = PacketReliability::ReliableOrdered;
    if (client)
        return peer == kHostPeer && client->Send(data, size, priority, reliability, channel);
    // A free slot the server refuses itself.
    return peer < kMaxPlayers && server->SendToPlayer(data, size, static_cast<std::uint16_t>(peer), priority, reliability, channel);
}

} // namespace platform::net
