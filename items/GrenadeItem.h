#pragma once

#include <memory>

#include "items/WeaponItem.h"

class GrenadeProjectile;
class Sound3D;

// Hand grenades ("Grenade"): the trigger held lengthens the throw (thrown at once after 0.8 s);
// the count is the weapon's magazines. Definition lines after the weapon block: the projectile
// model and the kind ("ExplosiveGrenade", "TeargasGrenade", "SmokeGrenade", else other).
// Resource lines: 2 icon, 3 throw sound, 4 pin sound, 5 explosion sound, 7 draw sound.
//
// Its block behind the WeaponItem block: version 1, outstanding (int32).
class GrenadeItem : public WeaponItem {
public:
    static constexpr std::uint32_t kBlockSize = 5;
    static constexpr float kThrown = 10000.0f;
    enum Kind { Explosive = 0, Other = 1, Teargas = 2, Smoke = 3 };

    explicit GrenadeItem(const ItemDefinition& definition);
    ~GrenadeItem() override;

    void ReadDefinition(const ItemDefinition& definition) override;
    void UpdateTransform(float elapsed) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void Select() override;
    bool BeginUse(bool forced) override;
    // Throws with a speed for the time the trigger was held.
    void EndUse() override;
    float GetSuitability(int targetKind, float distance) override { (void)targetKind, (void)distance; return -0.0015f; }
    bool CanTransferMagazines() override { return false; }
    bool IsGrenade() override { return true; }
    bool IsExplosive() override { return true; }

    // One of its projectiles is finished; an item without an owner, grenades or projectiles
    // left is deleted.
    virtual void Release();
    // A projectile of the kind along the ray.
    virtual GrenadeProjectile* CreateProjectile(const ShotRay& ray, float speed);
    // The throw as the remote player made it.
    void ApplyRemoteThrow(float heldSeconds);

    int grenadeKind = Other;
    char projectileModel[256] = {};
    int outstanding = 0;
    float holdTime = kThrown;
    float lastHoldTime = 0.0f;
    float autoThrowTime = 0.8f;
    float throwSkill = 0.0f;
    int throwHandle = -1;
    std::string explosionSoundPath;

private:
    void Throw(float speed);

    std::unique_ptr<Sound3D> throwSound;
    std::unique_ptr<Sound3D> pinSound;
    std::unique_ptr<Sound3D> drawSound;
};
