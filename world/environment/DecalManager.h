#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"
#include "engine/material/Material.h"

class Device;
class D3DBitmap;
class D3DPrim;
class MapObject;

// Small textured squares on surfaces (bullet holes, scorch marks): a fixed ring of 200 where the
// newest replaces the oldest. A decal with an owner is kept in the owner's space and moves with it.
// Each world owns its ring; the static operations act on the current world's.
class DecalManager {
public:
    static constexpr int kDecals = 200;

    struct Decal {
        Matrix4 transform;            // rows 0-2 the axes (scaled), row 3 the position
        D3DBitmap* texture = nullptr; // null: the slot is unused
        MapObject* owner = nullptr;   // null: placed in the world
    };

    // Loads the texture into the next slot of the ring. A texture that does not load, or no world
    // to hold the decal, is logged and leaves no decal; false then.
    static bool AddDecal(Device* device, const char* texturePath, const Vector3& position, const Vector3& normal,
                         MapObject* owner);
    // Draws every decal; once a frame after the world.
    static void Render(Device* device);
    // Frees every decal the object owns (it is destroyed or taken off the map).
    static void RemoveObjectDecals(const MapObject* object);
    // Frees all textures and the shared quad (level end).
    static void Release();

    // The decal's axes and position before its size is applied: row 2 the normal, row 0 the
    // normal crossed with up (or x on flat ground), row 1 row 0 crossed with the normal.
    static Matrix4 Orientation(const Vector3& position, Vector3 normal);
    // The transform of an owner (rotation and position; its scale does not move decals).
    static Matrix4 OwnerTransform(const MapObject* owner);

    // The current world's ring; with no world every slot is empty and nothing was drawn.
    static const Decal& GetDecal(int slot);
    static int GetNextSlot();
    static D3DPrim* GetQuad();
    static int GetDrawnCount(); // decals drawn by the last Render

    DecalManager() = default;
    ~DecalManager() { Clear(); }
    DecalManager(const DecalManager&) = delete;
    DecalManager& operator=(const DecalManager&) = delete;

    // The ring's own operations, behind the static ones.
    bool Add(Device* device, const char* texturePath, const Vector3& position, const Vector3& normal,
             MapObject* owner);
    void Draw(Device* device);
    void RemoveOwnedBy(const MapObject* object);
    void Clear();
    const Decal& At(int slot) const { return decals[(slot % kDecals + kDecals) % kDecals]; }
    int NextSlot() const { return nextSlot; }
    D3DPrim* Quad() const { return quad; }
    int DrawnCount() const { return drawnCount; }

private:
    Decal decals[kDecals];
    int nextSlot = 0;
    D3DPrim* quad = nullptr; // every decal is drawn with it
    int drawnCount = 0;
    Material material; // lent each decal's texture while it is drawn
};
