#pragma once

#include <cstdint>

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

// One record of the trigger table: 20 bytes when saved (fired byte, three alignment bytes, the
// trigger ID, the carrying object's position).
struct TriggerRecord {
    std::uint8_t fired = 0;
    std::int32_t triggerID = 0;
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// "trigger <id>": marks its object as a trigger with an ID; the level loader gives it a record
// of the trigger table.
class TriggerProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    // Fire a trigger of type 4 (an alarm raised nearby) or of type 1 (its character killed) that
    // has not fired yet; a line without a type counts as type 1.
    void FireOnAlarm() const;
    void FireOnDestroyed() const;

    std::int32_t triggerID = 0;
    int triggerType = -1; // -1: the line named none
    TriggerRecord* record = nullptr;
};

Prop* TriggerPropFactory();
