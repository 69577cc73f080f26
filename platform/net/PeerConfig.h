#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/net/NetTypes.h"

namespace platform::net {

// A bad link for tests: chances per received datagram. All zero (the default) in play.
struct LinkConditions {
    double loss = 0;
    double duplicate = 0;
    double reorder = 0;
    std::uint32_t seed = 1;

    bool Active() const { return loss > 0 || duplicate > 0 || reorder > 0; }
};

struct PeerConfig {
    // The millisecond clock of this peer; the layer's GetTime when empty. Tests give peers clocks
    // far apart to check the conversion of time stamps.
    std::function<std::uint32_t()> clock;
    // Where the layer reports refused input and failures; standard error when empty.
    LogSink log;
    LinkConditions link;
    // ENet's timeout for a silent connection, in ms; 0 keeps ENet's own (5 to 30 s).
    std::uint32_t timeoutMs = 0;
    std::uint32_t pingIntervalMs = 1000;
    // The largest record sent or accepted; ENet fragments it.
    std::size_t maxRecordSize = 16u << 20;
};

} // namespace platform::net
