#pragma once

#include <cstdint>

#include "engine/core/Matrix.h"
#include "engine/core/Quaternion.h"
#include "world/props/Prop.h"

struct LibraryEntry;
struct MapObjectRecord;
struct LibraryObject;
class World;

// One placed object of the map: its record (position, rotation, scale, library index) and up to
// five props. Taken from the world's node pool.
class MapObject {
public:
    static constexpr int kPropSlots = 5;

    MapObject() = default;
    virtual ~MapObject() { Clear(); }
    MapObject(const MapObject&) = delete;
    MapObject& operator=(const MapObject&) = delete;

    // The world's library object of the record's library index.
    virtual LibraryObject* GetLibraryEntry() const;

    // Binds the record, empties the slots and adds the props of the entry's texts in order,
    // stopping at the first empty one. False when a prop refuses the object.
    bool Attach(MapObjectRecord* record, World* world);
    bool AddProp(const char* line);
    // Detaches and destroys every prop and forgets the record.
    void Clear();

    // The first prop of the kind and its slot, or null with the number of slots searched.
    Prop* FindProp(PropFactory kind, int* slot = nullptr) const;
    // The first property text of the entry whose first word is exactly name, or null.
    const char* HasPropText(const char* name) const;

    void CallUpdate(float dt);
    void CallPreDraw(float dt);
    void CallPostDraw(float dt);
    void CallUpdateNearCamera(float dt);

    void GetTransform(Matrix4& out) const;
    Matrix3 GetRotation() const;
    void SetRotation(const Matrix3& rotation);
    Quaternion GetRotationQuat() const;
    void SetRotationQuat(const Quaternion& rotation);
    Vector3 GetPosition() const;
    float GetScale() const;
    void SetPosition(float x, float y, float z);
    void UpdateGroundFlag();

    MapObjectRecord* record = nullptr;
    Prop* props[kPropSlots] = {};
    MapObject* next = nullptr;     // the world's object list
    MapObject* previous = nullptr;
    std::uint8_t visible = 0;      // listed in this frame's visible objects
    std::uint8_t boxHighlight = 0; // draws the model's box once
    bool hidden = false;           // not drawn nor picked unless the world draws all
    bool hasNearCameraProps = false;
    bool hasPostDrawProps = false;
    bool hasPreDrawProps = false;
    bool noGround = false;         // nothing below, or an object nearer than the ground
    bool onUpdateList = false;
    std::uint8_t pickMark = 0;        // tested by the pick under way
    PropFactory maskedProp = nullptr; // a prop kind queries ignore for the moment
};
