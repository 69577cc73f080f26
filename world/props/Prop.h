#pragma once

#include <cstdint>

class MapObject;
class Prop;

// Makes a new prop of one kind (from the map-prop arena), or null when memory runs out.
using PropFactory = Prop* (*)();

// Hook flags returned by Parse and GetFlags.
enum PropFlags : std::uint32_t {
    PropOneShot = 0x01,    // destroyed right after Parse; its other flags still apply
    PropMarker = 0x02,     // marks the object, no hook
    PropPostDraw = 0x04,   // PostDraw after all visible objects are drawn
    PropNearCamera = 0x08, // UpdateNearCamera while the object is in the patches near the camera
    PropUpdate = 0x10,     // Update every frame from the world's update list
    PropReject = 0x20,     // the object is not created
    PropPreDraw = 0x40,    // PreDraw just before the object is drawn
};

// A handler attached to a map object by one keyword line of its library entry. Props live in the
// map-prop arena: destroying one runs its destructor (freeing what it owns) but the memory goes
// back only with the whole arena.
class Prop {
public:
    virtual ~Prop() = default;
    virtual std::uint32_t Parse(MapObject* object, const char* line) = 0;
    virtual void Update(MapObject* object, float dt) {}
    virtual void PreDraw(MapObject* object, float dt) {}
    virtual void PostDraw(MapObject* object, float dt) {}
    virtual void UpdateNearCamera(MapObject* object, float dt) {}
    virtual void Detach(MapObject* object) {}
    virtual std::uint32_t GetFlags() = 0;

    PropFactory kind = nullptr; // the factory that made it
};

// Runs the prop's destructor; the arena keeps the memory.
inline void DestroyProp(Prop* prop)
{
    if (prop)
        prop->~Prop();
}

// A factory body: a prop of type T from the arena with its kind set.
template <typename T>
Prop* MakeArenaProp(PropFactory kind);
