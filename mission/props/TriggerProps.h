#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/PtrList.h"
#include "world/props/Prop.h"

class MapObject;
class Sound3D;

// One record of the trigger table: 20 bytes when saved (fired byte, three alignment bytes, the
// trigger ID, the carrying object's position).
struct TriggerRecord {
    std::uint8_t fired = 0;
    std::int32_t triggerID = 0;
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// "trigger <id> <type> [argument...]": a numbered trigger the objectives wait for. Type 0 fires
// when the camera comes within its radius while the local player lives, 1 when its object is
// destroyed or the character on it dies, 2 and 3 when the player uses the object (2 hands over
// an item, 3 under the objectives' rule), 4 when an alarm sounds nearby; 5 and any other type
// only through a saved game or a network message. Once fired, only those clear it.
class TriggerProp : public Prop {
public:
    static constexpr int kItemNameSize = 40;
    static constexpr int kTextSize = 256;

    TriggerProp() = default;
    ~TriggerProp() override;

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void UpdateNearCamera(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return triggerType == 0 ? PropNearCamera : PropMarker; }

    // Stores the state (mirrored into the trigger table's record); false when it was already so.
    // Newly triggered, the object's triggersound plays there and its triggertext is shown; a
    // type 2 trigger's object is hidden while triggered. With tellNetwork a client tells the host.
    bool SetTriggered(bool state, bool tellNetwork);
    // Fires a trigger of the given type (1 to 4) that has not fired yet while the trigger lock is
    // clear; true when it fired.
    bool Fire(int type);
    bool FireOnAlarm() { return Fire(4); }
    bool FireOnDestroyed() { return Fire(1); }
    // Type 0: fires when the camera is within the radius of the object and the local player lives.
    void CheckProximity();

    // Set by the path editor every frame, cleared by every level load: no trigger fires.
    static bool& Lock();

    std::int32_t triggerID = 0;
    int triggerType = -1;
    float radius = 20.0f;
    char itemName[kItemNameSize] = {};
    std::int32_t itemNumber = -1;
    char text[kTextSize] = {};
    std::uint8_t triggered = 0;
    MapObject* object = nullptr;
    TriggerRecord* record = nullptr; // the trigger table's record, linked by the level loader

private:
    bool listed = false;
};

Prop* TriggerPropFactory();
// Every live trigger, newest first.
PtrListOf<TriggerProp>& TriggerPropList();
// The live trigger with the ID, or null.
TriggerProp* FindTrigger(std::int32_t triggerID);

// "triggersound <file> [minimum distance] [maximum distance]": played where its object stands when
// the object's trigger fires.
class TriggerSoundProp : public Prop {
public:
    TriggerSoundProp();
    ~TriggerSoundProp() override;
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropMarker; }
    std::unique_ptr<Sound3D> sound;
};

// "triggertext <text>": shown in the centre of the screen when the object's trigger fires.
class TriggerTextProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    std::uint32_t GetFlags() override { return PropMarker; }
    char text[256] = {};
};

Prop* TriggerSoundPropFactory();
Prop* TriggerTextPropFactory();
