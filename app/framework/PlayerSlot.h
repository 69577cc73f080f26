#pragma once

#include <cstdint>

// A network player's identity: address and port. The unassigned identity marks a free slot.
// Kept here until the network code brings its own.
struct PlayerId {
    std::uint32_t address = 0xFFFFFFFFu;
    std::uint16_t port = 0xFFFF;

    bool operator==(const PlayerId&) const = default;
};

inline constexpr PlayerId UnassignedPlayerId{};

// One of the Application's 32 player slots: who holds it and the name shown for it.
struct PlayerSlot {
    static constexpr int NameSize = 25;

    PlayerId id;
    char name[NameSize] = {};
};
