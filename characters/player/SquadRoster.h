#pragma once

#include "characters/objects/GameObject.h"

class Character;
class Player;

// The members of one squad as the soldiers see it: up to five squad soldiers, in the order they
// joined, addressed by the squad's network identifier. A soldier leaves it when destroyed, and the
// squad's destructor leaves the soldiers still listed without it, so either may go first. The mission's squad (its set-up, spawning and display) builds
// on it; the soldiers need only this much.
class SquadRoster : public GameObject {
public:
    static constexpr int kMaxMembers = 5;

    SquadRoster() = default;
    // The squad soldiers still listed forget the squad, so none keeps a pointer to it.
    ~SquadRoster() override;

    // Appends the member; a full squad refuses it with a log line, and a member already listed is
    // not listed twice. True when the member is listed afterwards.
    bool AddMember(Player* member);
    // Takes the member's own entry out and closes the gap, so the others keep their order.
    void RemoveMember(Character* member);
    // Index of the member, -1 when absent.
    int IndexOf(const Character* member) const;
    bool Contains(const Character* member) const { return IndexOf(member) >= 0; }
    Player* GetMember(int index) const;
    int GetMemberCount() const { return memberCount; }

private:
    Player* members[kMaxMembers] = {};
    int memberCount = 0;
};
