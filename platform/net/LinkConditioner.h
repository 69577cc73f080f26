#pragma once

#include <enet/enet.h>

#include <cstdint>
#include <deque>
#include <random>
#include <vector>

#include "platform/net/PeerConfig.h"

namespace platform::net {

// Loses, duplicates and reorders the datagrams a host receives, beneath ENet's own reliability, so
// that tests see every class of delivery work over a bad link. Installed only when asked for.
// Held datagrams go back through the host's own socket on the next service tick, and their
// original sender is restored when they come in again.
class LinkConditioner {
public:
    explicit LinkConditioner(const LinkConditions& conditions) : conditions(conditions), random(conditions.seed) {}

    // ENet's intercept: 1 makes ENet skip the datagram.
    int Intercept(ENetHost* host);
    // Sends the held datagrams back to the host itself.
    void Reinject(ENetHost* host);

private:
    struct Held {
        ENetAddress from{};
        std::vector<std::uint8_t> bytes;
    };
    bool Chance(double probability) { return probability > 0 && std::uniform_real_distribution<double>(0, 1)(random) < probability; }
    static ENetAddress Self(const ENetHost* host);

    LinkConditions conditions;
    std::mt19937 random;
    std::deque<Held> held;
    std::deque<ENetAddress> reinjected; // original senders of the datagrams sent back, in order
};

} // namespace platform::net
