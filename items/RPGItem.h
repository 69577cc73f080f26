#pragma once

#include <memory>

#include "items/WeaponItem.h"

class Sound3D;
class qParticle;

// The shoulder-fired launcher ("RPG"): one rocket (or launched grenade) per trigger pull, with a
// front smoke, a back blast that fades over 0.6 s and an optional launch effect on the owner.
// Definition lines after the weapon block: projectile model, projectile type (0 rocket, 1 grenade),
// launch-effect offset x, y, z, launch-effect particles, crosshair picture ("N/A" none).
// Resource lines: 1 front smoke, 2 ammunition icon, 3 fire sound.
//
// Its block behind the WeaponItem block: version 1, timeSinceShot (float), firing (byte).
class RPGItem : public WeaponItem {
public:
    static constexpr std::uint32_t kBlockSize = 6;
    static constexpr float kBackBlastTime = 0.6f;

    explicit RPGItem(const ItemDefinition& definition);
    ~RPGItem() override;

    void ReadDefinition(const ItemDefinition& definition) override;
    void UpdateTransform(float elapsed) override;
    void DrawHUD(Device* device) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void Select() override;
    void Deselect() override;
    bool BeginUse(bool forced) override;
    float GetSuitability(int targetKind, float distance) override { (void)targetKind, (void)distance; return -0.001f; }
    // A count from 1 to maxMagazines - 1; a launcher of at most one magazine keeps maxMagazines.
    int GetDropMagazines() override;
    bool CanTransferMagazines() override { return maxMagazines != 0; }
    bool IsAntiTank() override { return true; }
    bool IsExplosive() override { return true; }

    char projectileModel[256] = {};
    int projectileType = 0;
    Vector3 launchOffset;
    bool hasLaunchEffect = false;
    std::string launchEffectFile;
    bool firing = false;
    float timeSinceShot = 3.4e38f;
    int fireHandle = -1;
    float backSmokeRate = 0.0f; // the back smoke's emission rate as loaded

    qParticle* GetBackSmoke() const { return backSmoke.get(); }

private:
    std::unique_ptr<qParticle> backSmoke;
    std::unique_ptr<qParticle> launchEffect;
    std::unique_ptr<Sprite> crosshair;
    std::unique_ptr<Sound3D> fireSound;
    std::unique_ptr<Sound3D> boom1;
    std::unique_ptr<Sound3D> boom2;
    std::unique_ptr<Sound3D> flySound;
};
