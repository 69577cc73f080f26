#pragma once

#include <cstdint>
#include <cstring>

// The record a squad is built from: member types, their item names and health, the set-up byte,
// the networked model name and further set-up values, and the team. 1316 bytes when saved or
// sent, laid out in the order of the fields.
struct SquadSetup {
    static constexpr int MemberCount = 4;
    static constexpr int ItemsPerMember = 6;
    static constexpr int ItemNameSize = 40;
    static constexpr int TextSize = 345;
    static constexpr std::uint8_t EmptyMember = 255;

    SquadSetup() { Reset(); }

    // Every member slot empty (255) with health 100, no item names, the rest cleared.
    void Reset()
    {
        std::memset(members, EmptyMember, sizeof members);
        std::memset(itemNames, 0, sizeof itemNames);
        std::memset(health, 100, sizeof health);
        setupByte = 0;
        std::memset(text, 0, sizeof text);
        team = 0;
        spare = 0;
    }

    int MemberTotal() const
    {
        int total = 0;
        for (std::uint8_t member : members)
            total += member != EmptyMember;
        return total;
    }

    std::uint8_t members[MemberCount];
    char itemNames[MemberCount][ItemsPerMember][ItemNameSize];
    std::uint8_t health[MemberCount];
    std::uint8_t setupByte;
    char text[TextSize]; // the networked model name first
    std::uint8_t team;
    std::uint8_t spare;
};
