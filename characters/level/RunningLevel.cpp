#include "characters/level/RunningLevel.h"

#include "characters/level/NoLevel.h"

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

template <typename Service>
Service& RunningLevel::FindOrNoLevel(Service* Services::*service)
{
    Service* found = Find(service);
    return found ? *found : NoLevel::Answers();
}

WeaponQueries& RunningLevel::Weapons() { return FindOrNoLevel(&Services::weapons); }

NetworkSession& RunningLevel::Network() { return FindOrNoLevel(&Services::network); }

LevelScene& RunningLevel::Scene() { return FindOrNoLevel(&Services::scene); }

AnimationSets& RunningLevel::Animations() { return FindOrNoLevel(&Services::animations); }

BodySounds& RunningLevel::Sounds() { return FindOrNoLevel(&Services::sounds); }

AILevelView& RunningLevel::AI() { return FindOrNoLevel(&Services::ai); }

EnemyEvents& RunningLevel::Enemies() { return FindOrNoLevel(&Services::enemies); }

SquadCommandView& RunningLevel::Command() { return FindOrNoLevel(&Services::command); }

PlayerControls& RunningLevel::Controls() { return FindOrNoLevel(&Services::controls); }

SquadRecords& RunningLevel::Records() { return FindOrNoLevel(&Services::records); }

CampaignStatistics& RunningLevel::Statistics() { return FindOrNoLevel(&Services::statistics); }

GameModeNotices& RunningLevel::GameMode() { return FindOrNoLevel(&Services::gameMode); }

ItemServices* RunningLevel::Items()
{
    return Find(&Services::items);
}
