#pragma once

#include <cstdint>
#include <memory>

#include "characters/objects/GameObject.h"
#include "engine/core/Matrix.h"
#include "engine/core/PtrList.h"
#include "world/props/Prop.h"

class MapObject;
class Sound3D;

// "door" [open] [speed] [locked] [number] [open sound] [close sound]: a door that swings about
// the vertical axis between closed (angle 0) and open (speed x pi/2), turning at speed x 2 radians
// a second. It is a game object too, so that saved games and network messages name it by id.
class DoorProp : public Prop, public GameObject {
public:
    DoorProp();
    ~DoorProp() override;

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Update(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropUpdate; }

    // Starts opening a closed door or closing an open one, with its sound; false while it is
    // locked or still moving.
    bool Toggle();
    // The state as a saved game or the host sends it; the object turns to the angle.
    void SetState(bool open, bool moving, bool locked, float angle);

    std::uint8_t open = 0, moving = 0, locked = 0;
    float angle = 0.0f; // radians
    float speed = 1.0f;
    std::int32_t number = 10;
    std::unique_ptr<Sound3D> openSound, closeSound;
    MapObject* object = nullptr;
    Matrix3 baseRotation;

private:
    void Turn();
    void PlayAt(Sound3D* sound);
    bool listed = false;
};

Prop* DoorPropFactory();
// Every live door, newest first.
PtrListOf<DoorProp>& DoorPropList();
