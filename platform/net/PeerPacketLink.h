#pragma once

#include "platform/net/Client.h"
#include "platform/net/PacketLink.h"
#include "platform/net/Server.h"

namespace platform::net {

// How a client names its host: the player index its host's records arrive with.
inline constexpr PeerHandle kHostPeer = kNoPlayerIndex;

// The file transfer over a real connection. On a server a peer is a player's index; a client's
// only peer is kHostPeer. Records go reliable and ordered on one channel, so that they also stay in
// order with the game's own records on it (a record sent after a transfer finds the files written).
class PeerPacketLink final : public PacketLink {
public:
    explicit PeerPacketLink(Server& server, int channel = 0) : server(&server), channel(channel) {}
    explicit PeerPacketLink(Client& client, int channel = 0) : client(&client), channel(channel) {}
    bool Send(PeerHandle peer, const std::uint8_t* data, std::size_t size) override;

private:
    Server* server = nullptr;
    Client* client = nullptr;
    int channel;
};

} // namespace platform::net
