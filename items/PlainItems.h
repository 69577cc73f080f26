#pragma once

#include <memory>
#include <string>

#include "items/Item.h"

class Sound3D;

// Field glasses ("Binoculars"): taken in hand by the local player they narrow the camera's view
// in eight steps between the definition's zoom values and show a full-screen picture; the keys
// that leave them put them away. Definition lines after the common ones: overlay picture ("-"
// none), maxZoom, minZoom. They keep the Item block.
class BinocularsItem : public Item {
public:
    explicit BinocularsItem(const ItemDefinition& definition);
    ~BinocularsItem() override;

    void ReadDefinition(const ItemDefinition& definition) override;
    void UpdateTransform(float elapsed) override;
    void DrawHUD(Device* device) override;
    void Select() override;
    void Deselect() override;
    bool OnKeyDown(int key) override;
    bool OnMouseDown(int button, int x, int y, int flags) override { (void)x, (void)y, (void)flags; return OnKeyDown(button + 1); }
    // One zoom step; the step is used up (false).
    bool OnSelectStep(int direction, int x, int y) override;

    float zoom = 0.0f;
    float maxZoom = 0.0f;
    float minZoom = 0.0f;
    float zoomKeyTimer = 0.0f;
    float savedFieldOfView = 0.0f;
    float savedNearDistance = 0.0f;
    int savedViewMode = 0;

private:
    bool IsLocalPlayers() const;

    std::unique_ptr<Sprite> overlay;
    bool zoomed = false;
};

// A first-aid kit ("FirstAid"): taken in hand it heals the squad-mate in the owner's line of sight
// within 30 units, or the owner, once, and is dropped spent. Definition lines after the common
// ones: heal amount, heal sound. Its block behind the Item block: version 1, spent (1 byte).
class FirstAidItem : public Item {
public:
    static constexpr float kReach = 30.0f;

    explicit FirstAidItem(const ItemDefinition& definition);
    ~FirstAidItem() override;

    void ReadDefinition(const ItemDefinition& definition) override;
    void UpdateTransform(float elapsed) override;
    void Draw(Device* device) override;
    bool IntersectRay(HitResult& hit) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    // The use.
    void Select() override;

    bool spent = false;
    float healAmount = 0.0f;
    std::string soundPath;
    int healHandle = -1;

private:
    void PutAway();

    std::unique_ptr<Sound3D> healSound;
};

// An objective object ("MissionItem"): carried, never held in hand. Its block behind the Item
// block: version 1, objectiveID (4 bytes).
class MissionItem : public Item {
public:
    explicit MissionItem(const ItemDefinition& definition) { ReadDefinition(definition); }

    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    // Gives the hand back to the item held before.
    void Select() override;

    int objectiveID = 0;
};
