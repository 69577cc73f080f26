#include "characters/player/SquadRoster.h"

#include "characters/body/Character.h"
#include "engine/core/EngineLog.h"
#include "characters/player/Player.h"

SquadRoster::~SquadRoster()
{
    for (int i = 0; i < memberCount; ++i) {
        if (members[i]->squad == this)
            members[i]->squad = nullptr;
    }
}

bool SquadRoster::AddMember(Player* member)
{
    if (!member)
        return false;
    if (Contains(member))
        return true;
    if (memberCount >= kMaxMembers) {
        LogToEngine("Squad %d is full (%d members); soldier %d not added", int(GetStoredID()), kMaxMembers,
                  int(member->GetStoredID()));
        return false;
    }
    members[memberCount++] = member;
    return true;
}

void SquadRoster::RemoveMember(Character* member)
{
    const int index = IndexOf(member);
    if (index < 0)
        return;
    for (int i = index; i + 1 < memberCount; ++i)
        members[i] = members[i + 1];
    members[--memberCount] = nullptr;
}

int SquadRoster::IndexOf(const Character* member) const
{
    for (int i = 0; i < memberCount; ++i) {
        if (members[i] == member)
            return i;
    }
    return -1;
}

Player* SquadRoster::GetMember(int index) const
{
    return index >= 0 && index < memberCount ? members[index] : nullptr;
}
