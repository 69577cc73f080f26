#pragma once

#include <memory>

#include "items/WeaponItem.h"

class Sound3D;

// The automatic rifle ("SMG") and the firing loop of every automatic weapon: bursts or full
// automatic fire while the trigger is held, a single aimed shot as secondary use, magazines and
// reloading, recoil and the looping fire sound. The weapon block's resource lines: 1 smoke
// particles, 2 ammunition icon, 3 automatic fire, 4 fire tail, 5 reload, 6 single shot, 7 draw.
//
// Its saved block, behind the WeaponItem block: version 1 (1 byte), timeSinceShot (float).
class AutoRifleItem : public WeaponItem {
public:
    static constexpr std::uint32_t kBlockSize = 5;
    static constexpr int kReloadAction = 13;
    static constexpr int kAutomaticReloadOption = 95;

    // Reads the definition and loads the resources it names; throws q3DError.
    explicit AutoRifleItem(const ItemDefinition& definition);
    ~AutoRifleItem() override;

    void UpdateTransform(float elapsed) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void Draw(Device* device) override;
    void DrawHUD(Device* device) override { DrawAmmunition(device); }
    void Select() override;
    void Deselect() override;
    bool BeginUse(bool forced) override;
    void EndUse() override;
    // A single aimed shot.
    bool UseSecondary() override;
    // The reload key.
    bool OnKeyDown(int key) override;
    bool OnMouseClick(int button, int x, int y, int flags) override { (void)x, (void)y, (void)flags; return OnKeyDown(button + 1); }
    bool IsSecondaryUseNetworked() override { return true; }
    float GetSuitability(int targetKind, float distance) override;
    bool IsSMG() override { return true; }
    bool IsAutomatic() override { return true; }

    // bulletsPerShot bullets along the ray (deviated again between pellets); every third a tracer.
    virtual void FireBullets(ShotRay ray);
    // Starts a reload when one is due: not in use, spare magazines, not reloading, magazine not
    // full. The local player's reload key and computer-driven owners both come here.
    bool StartReload() { return BeginReload(reloadSound.get(), reloadHandle); }

    // A new rifle is ready to fire at once.
    float timeSinceShot = 3.4e38f;
    bool stopAfterShot = false;
    int burstCount = 0;
    float noiseTimer = 0.0f;
    int autoFireHandle = -1;
    int reloadHandle = -1;

protected:
    // One cartridge used; the last one ends the trigger use and starts a reload.
    void UseCartridge();
    bool CanFire(bool forced);

    std::unique_ptr<Sound3D> autoFireSound;
    std::unique_ptr<Sound3D> tailSound;
    std::unique_ptr<Sound3D> reloadSound;
    std::unique_ptr<Sound3D> singleShotSound;
    std::unique_ptr<Sound3D> drawSound;
};

// An automatic rifle that counts as a light machine gun ("LMG").
class LMGItem : public AutoRifleItem {
public:
    explicit LMGItem(const ItemDefinition& definition) : AutoRifleItem(definition) {}
    bool IsSMG() override { return false; }
    bool IsLMG() override { return true; }
};

// An automatic rifle with an under-barrel grenade launcher ("SMG-Gren") as its secondary use:
// five grenades, each an impact-fused grenade of blast radius 65.
//
// Its block behind the AutoRifleItem block: version 1 (4 bytes), grenades (4 bytes).
class MachinegunGrenItem : public AutoRifleItem {
public:
    static constexpr std::uint32_t kGrenadeBlockSize = 8;

    explicit MachinegunGrenItem(const ItemDefinition& definition);
    ~MachinegunGrenItem() override;

    void UpdateTransform(float elapsed) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    // The grenade launch.
    bool UseSecondary() override;
    float GetSuitability(int targetKind, float distance) override
    {
        return AutoRifleItem::GetSuitability(targetKind, distance) + 0.0001f;
    }

    int grenades = 5;
    bool launchedThisFrame = false;

private:
    std::unique_ptr<Sprite> grenadeIcon;
};
