#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::net {

// Which peer a record comes from or goes to; the peer layer's own numbering (a player index on
// the host, the host itself on a client).
using PeerHandle = std::uint32_t;

// What the file transfer needs of a connection: sending one record to a peer, reliably and in
// order with the other records of the same sender. The peer layer implements it; tests use an
// in-memory pair.
class PacketLink {
public:
    virtual ~PacketLink() = default;
    // False when the record could not be queued (no such peer, not connected).
    virtual bool Send(PeerHandle peer, const std::uint8_t* data, std::size_t size) = 0;
};

} // namespace platform::net
