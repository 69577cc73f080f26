#include "characters/RunningLevel.h"

#include "characters/NoLevel.h"

RunningLevel::RunningLevel(const Services& services) : services(services), previous(Current())
{
    Current() = this;
}

RunningLevel::~RunningLevel()
{
    // Levels end in the reverse order they began; one ending out of turn still leaves the chain whole.
    RunningLevel** link = &Current();
    while (*link && *link != this)
        link = &(*link)->previous;
    if (*link)
        *link = previous;
}

RunningLevel*& RunningLevel::Current()
{
    static RunningLevel* current = nullptr;
    return current;
}

template <typename Service>
Service* RunningLevel::Find(Service* Services::*service)
{
    for (RunningLevel* level = Current(); level; level = level->previous)
        if (Service* found = level->services.*service)
            return found;
    return nullptr;
}

WeaponQueries& RunningLevel::Weapons()
{
    WeaponQueries* weapons = Find(&Services::weapons);
    return weapons ? *weapons : NoLevel::Answers();
}

NetworkSession& RunningLevel::Network()
{
    NetworkSession* network = Find(&Services::network);
    return network ? *network : NoLevel::Answers();
}

SquadCommandView& RunningLevel::Command()
{
    SquadCommandView* command = Find(&Services::command);
    return command ? *command : NoLevel::Answers();
}

PlayerControls& RunningLevel::Controls()
{
    PlayerControls* controls = Find(&Services::controls);
    return controls ? *controls : NoLevel::Answers();
}

SquadRecords& RunningLevel::Records()
{
    SquadRecords* records = Find(&Services::records);
    return records ? *records : NoLevel::Answers();
}

CampaignStatistics& RunningLevel::Statistics()
{
    CampaignStatistics* statistics = Find(&Services::statistics);
    return statistics ? *statistics : NoLevel::Answers();
}

GameModeNotices& RunningLevel::GameMode()
{
    GameModeNotices* gameMode = Find(&Services::gameMode);
    return gameMode ? *gameMode : NoLevel::Answers();
}

ItemServices* RunningLevel::Items()
{
    return Find(&Services::items);
}
