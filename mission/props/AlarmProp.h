#pragma once

#include <cstdint>
#include <memory>

#include "characters/objects/GameObject.h"
#include "world/props/Prop.h"

class MapObject;
class Sound3D;
class qMesh;

// The alarm as the enemies see it: a game object of the alarm type at the alarm's object, whose
// timer counts down while the alarm sounds.
class AlarmState : public GameObject {
public:
    AlarmState();
    float timer = 0.0f; // seconds left; 0 silent
    void Update(float dt) override;
};

// "pullalarm" [model]: an alarm the map's soldiers can pull. While it sounds the object is drawn
// with the named library entry's model, when one was named.
class AlarmProp : public Prop {
public:
    static constexpr float kSoundTime = 60.0f;

    // Sounds the alarm (of this list or any other alarm object): with notify a host tells the
    // clients and a client only tells the server; the enemies within 250 units run to it.
    static void Trigger(GameObject* alarm, bool notify);
    // The alarm list's prop whose state is the alarm object; null for any other object.
    static AlarmProp* Find(const GameObject* alarm);

    AlarmProp();
    ~AlarmProp() override;

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Update(MapObject* object, float dt) override;
    void PreDraw(MapObject* object, float dt) override;
    void PostDraw(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropPreDraw | PropUpdate | PropPostDraw; }
    // The prop's own share of sounding: 60 s of sound at the alarm, and its alarm trigger fires.
    void Sound();

    MapObject* object = nullptr;
    std::unique_ptr<Sound3D> sound; // null when the sound did not load
    int soundHandle = -1;
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
