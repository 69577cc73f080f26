#pragma once

class CampaignStatistics;
class GameModeNotices;
class AILevelView;
class AnimationSets;
class BodySounds;
class EnemyEvents;
class ItemServices;
class LevelScene;
class NetworkSession;
class PlayerControls;
class SquadCommandView;
class SquadRecords;
class WeaponQueries;

// The road from the game objects to the level they live in. The mission makes one when a level
// loads and destroys it when the level unloads; while it lives it is the current one. A later one
// (a test's fake) covers the services it hands over until it ends; the others still come from the
// one below. With no level running, and for a service no level hands over, the no-level answers
// of NoLevel stand (the items' own in NoLevelItems).
class RunningLevel {
public:
    // What a level hands over; null leaves the service to the level below, or to no level.
    struct Services {
        WeaponQueries* weapons = nullptr;
        NetworkSession* network = nullptr;
        ItemServices* items = nullptr;
        SquadCommandView* command = nullptr;
        PlayerControls* controls = nullptr;
        SquadRecords* records = nullptr;
        CampaignStatistics* statistics = nullptr;
        GameModeNotices* gameMode = nullptr;
        LevelScene* scene = nullptr;
        AnimationSets* animations = nullptr;
        BodySounds* sounds = nullptr;
        AILevelView* ai = nullptr;
        EnemyEvents* enemies = nullptr;
    };

    explicit RunningLevel(const Services& services);
    ~RunningLevel();
    RunningLevel(const RunningLevel&) = delete;
    RunningLevel& operator=(const RunningLevel&) = delete;

    // The current level's services, or the no-level ones.
    static WeaponQueries& Weapons();
    static NetworkSession& Network();
    static SquadCommandView& Command();
    static PlayerControls& Controls();
    static SquadRecords& Records();
    static CampaignStatistics& Statistics();
    static GameModeNotices& GameMode();
    static LevelScene& Scene();
    static AnimationSets& Animations();
    static BodySounds& Sounds();
    static AILevelView& AI();
    static EnemyEvents& Enemies();
    // Null without a level or item services: the item library then answers as no level.
    static ItemServices* Items();

private:
    static RunningLevel*& Current();
    // The nearest level, from the current one down, that hands over the service.
    template <typename Service>
    static Service* Find(Service* Services::*service);
    template <typename Service>
    static Service& FindOrNoLevel(Service* Services::*service);

    Services services;
    RunningLevel* previous = nullptr;
};
