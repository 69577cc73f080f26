#pragma once

#include <cstdint>
#include <memory>

#include "characters/objects/CarriedItem.h"
#include "items/ItemModelCache.h"

class Bullet;
class Device;
class Sprite;
class qMesh;
struct ItemDefinition;
struct SaveStream;

// Every object a character can carry, use or drive. It lies loose in the world (no owner; drawn
// with its world model at the item's own position and rotation) or belongs to a character (drawn
// with its held model on a bone of the owner's body). Its meshes are shared with the other items
// of its kind through the item model cache.
//
// The saved block (little-endian):
//   0   1  version, 1
//   1   6  the GameObject block (2-byte identifier, 4-byte health)
//   7   4  remaining delete time in ms: 0 none, 1 when it has passed
//   11  2  previousItemID
//   13  1  inUse
//   14  4  itemID
//   18 12  world model position (zeros without a world model)
//   30 36  world model rotation, row by row (the identity without a world model)
//   66  2  previousOwnerID
class Item : public CarriedItem {
public:
    static constexpr std::uint32_t kBlockSize = 68;
    // Beyond this distance from the camera a loose item is not drawn (while distance culling is on).
    static constexpr float kDrawDistanceSquared = 14400.0f;
    static constexpr float kLod1DistanceSquared = 1600.0f;
    static constexpr float kLod2DistanceSquared = 6400.0f;

    Item();
    // Leaves the loose-item list and drops its model references.
    ~Item() override;
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    // --- scene node and game object ---
    void UpdateTransform(float elapsed) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;

    // --- what every item does ---
    void Draw(Device* device) override;
    virtual void DrawIcon(Device* device);
    virtual void DrawHUD(Device* device) { (void)device; }
    void Select() override;
    // Weight, name, icon and world model of the definition, and the animation set it names.
    // Throws q3DError "Couldn't find animation set with name %s for item %s".
    virtual void ReadDefinition(const ItemDefinition& definition);
    // Input the owner's handlers did not consume; true = not consumed here either.
    virtual bool OnKeyDown(int key) { (void)key; return true; }
    virtual bool OnMouseDown(int button, int x, int y, int flags) { (void)button, (void)x, (void)y, (void)flags; return true; }
    virtual bool OnMouseClick(int button, int x, int y, int flags) { (void)button, (void)x, (void)y, (void)flags; return true; }
    // A wheel step: 1 next, 0 previous; true lets the owner select the next or previous item.
    virtual bool OnSelectStep(int direction, int x, int y) { (void)direction, (void)x, (void)y; return true; }
    virtual bool UseSecondary() { return true; }
    virtual bool EndSecondaryUse() { return true; }
    virtual bool IsSecondaryUseNetworked() { return false; }
    // Finds the carrying bone in the new owner's body; a missing bone is logged and throws q3DError
    // "Can't find bone named %s in model %s".
    void SetOwner(Character* newOwner) override;
    // Only in a network game.
    virtual void SetDeleteTime(std::uint32_t time);
    // A delete time from the server's loose-item delay, when it has one.
    void StartLooseItemTimer() override;
    // The ray against the world model's box; on a hit the record gets the world hit point, normal
    // and distance from the ray's origin.
    bool IntersectRay(HitResult& hit) override;
    // A shot hit the loose item; true when the item stopped it.
    virtual bool OnHit(HitResult& hit, Bullet* bullet, int damage, const Vector3& point, const Vector3& normal);
    virtual void LoadIcon(const char* path);
    virtual void LoadWorldModel(const char* path);
    virtual void LoadHeldModel(const char* path);
    int GetSlotKind() override { return slotKind; }

    SharedMeshNode* GetWorldModel() const { return worldModel.get(); }
    SharedMeshNode* GetHeldModel() const { return heldModel.get(); }
    Sprite* GetIcon() const { return icon.get(); }

    qMesh* heldLOD1 = nullptr;
    qMesh* heldLOD2 = nullptr;
    // The mesh the last Draw showed, null when it drew nothing (distance, no model, no bone).
    qMesh* lastDrawnMesh = nullptr;

protected:
    // The world model stands where the item stands.
    void PlaceWorldModel();
    // The ray against the node's mesh box in the node's frame (the node is updated first); on a
    // hit the record gets the world hit point, normal and distance from the ray's origin.
    static bool IntersectNodeBox(MeshNode& node, HitResult& hit);
    static Device* GetDeviceForLoading();

    std::unique_ptr<Sprite> icon;
    std::unique_ptr<SharedMeshNode> worldModel;
    std::unique_ptr<SharedMeshNode> heldModel;
    ItemModelRecord* worldRecord = nullptr;
    ItemModelRecord* heldRecord = nullptr;
    int slotKind = -1;
};

// The weapon-selection rule: definitions offered in a loadout menu for one kind. While the
// loadout is restricted (a campaign game, or a network game whose settings ask it) only
// definitions with restriction 0 or 2 are offered.
bool IsOfferedInLoadout(const ItemDefinition& definition, int kind, bool restricted);
