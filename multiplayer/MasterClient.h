#pragma once

// Stand-in for the master-server client that lists hosted games: the start-up makes one and the
// shut-down destroys it; listing comes with the network code.
class MasterClient {
public:
    MasterClient() = default;
    MasterClient(const MasterClient&) = delete;
    MasterClient& operator=(const MasterClient&) = delete;
};
