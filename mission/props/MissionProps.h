#pragma once

#include <cstdint>

#include "mission/props/TriggerProps.h"
#include "world/props/Prop.h"

class World;

// The map-object keywords of the mission, registered with the world before it loads. Each row
// names the factory of its handler; handlers not built yet are marker stand-ins of their own
// kind, so that FindProp already tells them apart.
struct MissionPropType {
    char keyword[256];
    PropFactory factory;
};

// 38 rows and a closing row with an empty keyword.
extern const MissionPropType MissionPropTypes[];
constexpr int MissionPropTypeCount = 38;

void RegisterMissionPropTypes(World& world);

// Whether the prop is a vehicle's ("vehicle", "tank", "enemyvehicle", "enemytank").
bool IsVehicleProp(const Prop* prop);
