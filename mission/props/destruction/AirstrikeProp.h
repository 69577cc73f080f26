#pragma once

#include <cstdint>
#include <memory>

#include "world/props/Prop.h"

class MapObject;
class MissionEvent;

// "airstrike" [name] [radius]: a zone of the map where an airstrike event waits; the level's
// population gives each one its timed event at the object.
class AirstrikeProp : public Prop {
public:
    static constexpr float kDefaultRadius = 10.0f;

    AirstrikeProp();
    ~AirstrikeProp() override;

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    // The prop's event (kind 5) at its object, made once; the prop keeps it.
    MissionEvent* MakeEvent();

    MapObject* object = nullptr;
    char name[256] = {};
    float radius = kDefaultRadius;
    std::unique_ptr<MissionEvent> event;

private:
    bool listed = false;
};

Prop* AirstrikePropFactory();

// The airstrike zones of the level, in the order their objects were made.
int AirstrikePropCount();
AirstrikeProp* AirstrikePropAt(int index);
