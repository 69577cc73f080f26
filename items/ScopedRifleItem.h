#pragma once

#include <memory>

#include "items/WeaponItem.h"

class Sound3D;

// The rifle of type "SingleShot": one shot per trigger pull, the bolt cycling with the owner's
// firing animations, and, when the weapon block's line 12 says so, a telescopic sight that fills
// the screen with the scope picture and narrows the camera's view in eight steps, with night
// vision. Definition lines after the weapon block: maxZoom, minZoom, nightVision (0 none, 1 on
// while scoped, 2 switchable). Resource lines: 1 smoke, 2 ammunition icon, 3 fire sound, 4 scope
// picture, 5 reload sound, 6 scope sound ("-" none), 7 draw sound.
//
// Its block behind the WeaponItem block: version 1, timeSinceShot (float), firedThisFrame (byte).
class ScopedRifleItem : public WeaponItem {
public:
    static constexpr std::uint32_t kBlockSize = 6;
    enum Action { ScopeAction = 11, ReloadAction = 13, ZoomOutAction = 15, ZoomInAction = 16, NightVisionAction = 30 };

    explicit ScopedRifleItem(const ItemDefinition& definition);
    ~ScopedRifleItem() override;

    void ReadDefinition(const ItemDefinition& definition) override;
    void UpdateTransform(float elapsed) override;
    void Draw(Device* device) override;
    void DrawHUD(Device* device) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void Select() override;
    void Deselect() override;
    bool BeginUse(bool forced) override;
    bool OnKeyDown(int key) override;
    bool OnMouseDown(int button, int x, int y, int flags) override { (void)x, (void)y, (void)flags; return OnKeyDown(button + 1); }
    // A zoom step while scoped (used up: false); true otherwise.
    bool OnSelectStep(int direction, int x, int y) override;
    // The scope comes down first.
    void Reload() override;
    float GetSuitability(int targetKind, float distance) override;
    bool HasScope() override { return hasScope; }

    virtual void FireBullets(ShotRay ray);
    // Only the local player's rifle with a scope raises it.
    virtual void ScopeUp();
    virtual void ScopeDown();

    bool hasScope = false;
    bool scopeActive = false;
    float zoom = 0.0f;
    float maxZoom = 0.0f;
    float minZoom = 0.0f;
    int nightVision = 0;
    float zoomKeyTimer = 0.0f;
    float savedFieldOfView = 0.0f;
    float savedNearDistance = 0.0f;
    int savedViewMode = 0;
    float timeSinceShot = 3.4e38f;
    bool firedThisFrame = false;
    int fireHandle = -1;
    int reloadHandle = -1;
    int drawHandle = -1;

private:
    // The skill that steadies the shot: the sniper skill (6) x 1.1 while scoped.
    float ShotSkill();

    std::unique_ptr<Sprite> scopePicture;
    std::unique_ptr<Sound3D> fireSound;
    std::unique_ptr<Sound3D> reloadSound;
    std::unique_ptr<Sound3D> scopeSound;
    std::unique_ptr<Sound3D> drawSound;
};
