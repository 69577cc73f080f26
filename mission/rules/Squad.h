#pragma once

#include <cstdint>

#include "characters/player/SquadRoster.h"
#include "mission/rules/SquadSetup.h"

class Player;

// A squad of the running mission: its members as the soldiers see them (the roster), the set-up
// it was built from, its team and the player slot that owns it. It is a game object, so respawn
// requests and network messages can name it by its identifier.
class Squad : public SquadRoster {
public:
    Squad() = default;

    Player* GetLeader() const { return GetMemberCount() > 0 ? GetMember(0) : nullptr; }

    SquadSetup setup;
    std::uint8_t team = 0;
    int playerSlot = -1; // -1 outside a network game
};
