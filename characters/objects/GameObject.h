#pragma once

#include <cstdint>

#include "engine/core/Vector.h"
#include "engine/scene/SceneNode.h"

struct SaveStream;
struct Stimulus; // the sensed-stimulus record of the AI

// Everything that lives in a mission and can be named over the network: characters, items,
// weapons, vehicles, doors, placed bombs, mission events. A scene node (its position is the
// object's position) with a health value and a 16-bit network object identifier, entered in
// the ObjectIDTree while the object owns it.
//
// The saved block (no version byte of its own; Character and Item write theirs before it):
//   offset 0, 2 bytes: id, unsigned 16-bit
//   offset 2, 4 bytes: health, signed 32-bit
class GameObject : public SceneNode {
public:
    static constexpr std::uint16_t NoID = 0xFFFF;

    // objectType values.
    enum Type { CharacterType = 1, ItemType = 2 };

    // Takes the next free identifier from the counter unless this machine is a connected
    // client that does not host; such a client-side copy gets its identifier through SetID.
    GameObject();
    // Leaves the tree, unless the identifier has since been filed for another object.
    ~GameObject() override;

    virtual void Load(SaveStream* stream);
    virtual void Save(SaveStream* stream);
    // The object's own reaction to damage at a point from a direction; true when it took the
    // hit. The base takes none.
    virtual bool ApplyDamage(int amount, const Vector3& point, const Vector3& direction);
    // The per-frame decision step; nothing without AI.
    virtual void Think() {}
    // Where others aim at this object; the base gives its position.
    virtual void GetAimPoint(int kind, Vector3* point);
    // The identifier; -1 for a client-side copy that has none yet on a connected client that
    // does not host.
    virtual std::int16_t GetID();
    // How attractive a target this object is to the observer; the base is no target.
    virtual float GetTargetRating(GameObject* observer, const Stimulus* stimulus, float distanceSquared);
    // Moves the object to the identifier; an object that held it loses it, with a warning in
    // the engine log. NoID changes nothing.
    virtual void SetID(std::uint16_t newID);
    virtual void ResetHealth() { health = 100; }

    // health + amount, at most 100 (no lower bound); a connected client tells the server.
    void AddHealth(int amount);
    // Only the 2-byte identifier, for objects whose other state the saved game writes itself.
    void LoadID(SaveStream* stream);
    void SaveID(SaveStream* stream);

    // The object with the identifier, or null (always for -1).
    static GameObject* GetByID(std::int16_t id);

    // The counter that hands out identifiers; the saved game stores it and puts it back so
    // that identifiers taken after a load do not collide with loaded ones.
    static std::uint16_t GetNextObjectID();
    static void SetNextObjectID(std::uint16_t id);

    bool HasID() const { return hasID; }
    // The stored identifier, whether or not the object owns it in the tree.
    std::uint16_t GetStoredID() const { return id; }

    // The stimulus values a soldier recomputes each frame for the others' senses, and the
    // number of soldiers that target it (zeroed by Load).
    Vector3 eyePosition;
    float visibility = 0.0f;
    float noise = 0.0f;
    float size = 0.0f;
    int targetedByCount = 0;

    int objectType = 0;
    int health = 100; // 0..100 for characters; below 1 is dead

private:
    std::uint16_t id = NoID;
    bool hasID = false;
};
