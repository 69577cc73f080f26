#pragma once

#include <cstdint>
#include <memory>

#include "world/Prop.h"

class MapObject;
class Sound3D;
class qMesh;

// How long an alarm object has been sounding: its timer counts down while the alarm sounds.
struct AlarmState {
    float timer = 0.0f; // seconds left; 0 silent
    void Update(float dt);
};

// "pullalarm" [model]: an alarm the map's soldiers can pull. While it sounds the object is drawn
// with the named library entry's model, when one was named.
class AlarmProp : public Prop {
public:
    AlarmProp();
    ~AlarmProp() override;

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Update(MapObject* object, float dt) override;
    void PreDraw(MapObject* object, float dt) override;
    void PostDraw(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropPreDraw | PropUpdate | PropPostDraw; }

    MapObject* object = nullptr;
    std::unique_ptr<Sound3D> sound; // null when the sound did not load
    qMesh* alarmModel = nullptr;    // null: the object keeps its own look
    qMesh* ownModel = nullptr;
    std::unique_ptr<AlarmState> state;
    AlarmProp* next = nullptr;      // the alarm list
    AlarmProp* previous = nullptr;
};

Prop* AlarmPropFactory();

// The alarm list, newest first, and its count.
AlarmProp* FirstAlarm();
int AlarmCount();
