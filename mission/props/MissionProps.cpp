#include "mission/props/MissionProps.h"

#include <cstdlib>
#include <cstring>

#include "mission/props/AlarmProp.h"
#include "mission/props/CharacterProps.h"
#include "mission/props/DoorProp.h"
#include "mission/props/ExplosiveProps.h"
#include "mission/props/LooseItemProp.h"
#include "mission/props/destruction/AirstrikeProp.h"
#include "mission/props/destruction/DestroyableProp.h"
#include "world/props/CollisionProps.h"
#include "world/props/PropArena.h"
#include "world/World.h"

namespace {

// A handler whose behaviour comes with the props of its own kind later: it marks the object and
// keeps the line's kind apart from the others.
class StandInProp : public Prop {
public:
    std::uint32_t Parse(MapObject*, const char*) override { return PropMarker; }
    std::uint32_t GetFlags() override { return PropMarker; }
};

template <int Kind>
Prop* StandInFactory()
{
    return MakeArenaProp<StandInProp>(&StandInFactory<Kind>);
}

// One stand-in kind per handler class.
enum StandInKind {
    MultiStart, CharacterKind, Vehicle, EnemyVehicle, Alarm, Stationary, Inactive, Skills, Destroyed,
    Destroyable, FlagSpawn, TextProx, LooseItem, Minefield, Neutral, SoundProx, SoundLoop, Airstrike, ExitZone,
    Explosion, SoundRand, PlayerStart, SwaySoundProx, DrawDistDensity,
};

} // namespace

const MissionPropType MissionPropTypes[] = {
    {"trigger", TriggerPropFactory},
    {"door", DoorPropFactory},
    {"multistart", MultiStartPropFactory},
    {"enemy", CharacterPropFactory},
    {"ally", CharacterPropFactory},
    {"animal", CharacterPropFactory},
    {"vehicle", StandInFactory<Vehicle>},
    {"tank", StandInFactory<Vehicle>},
    {"enemyvehicle", StandInFactory<EnemyVehicle>},
    {"enemytank", StandInFactory<EnemyVehicle>},
    {"pullalarm", AlarmPropFactory},
    {"stationary", StationaryPropFactory},
    {"inactive", InactivePropFactory},
    {"reinforce", InactivePropFactory},
    {"skills", SkillsPropFactory},
    {"destroyed", DestroyedPropFactory},
    {"destroyable", DestroyablePropFactory},
    {"flagspawn", FlagSpawnPropFactory},
    {"textprox", StandInFactory<TextProx>},
    {"looseitem", LooseItemPropFactory},
    {"item", LooseItemPropFactory},
    {"minefield", MinefieldPropFactory},
    {"neutral", NeutralPropFactory},
    {"soundprox", StandInFactory<SoundProx>},
    {"soundloop", StandInFactory<SoundLoop>},
    {"airstrike", AirstrikePropFactory},
    {"exitzone", ExitZonePropFactory},
    {"explosion", ExplosionPropFactory},
    {"nocollisionalpha", NoCollisionAlphaPropFactory},
    {"nocollision", NoCollisionPropFactory},
    {"soundrand", StandInFactory<SoundRand>},
    {"colmesh", ColMeshPropFactory},
    {"alwayscollide", AlwaysCollidePropFactory},
    {"triggersound", TriggerSoundPropFactory},
    {"triggertext", TriggerTextPropFactory},
    {"playerstart", PlayerStartPropFactory},
    {"swaysoundprox", StandInFactory<SwaySoundProx>},
    {"drawdistdensity", StandInFactory<DrawDistDensity>},
    {"", nullptr},
};

void RegisterMissionPropTypes(World& world)
{
    for (const MissionPropType* type = MissionPropTypes; type->keyword[0]; ++type)
        world.RegisterPropKeyword(type->keyword, type->factory);
}

bool IsVehicleProp(const Prop* prop)
{
    return prop && (prop->kind == &StandInFactory<Vehicle> || prop->kind == &StandInFactory<EnemyVehicle>);
}
