#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/Matrix.h"
#include "items/Item.h"
#include "items/WeaponDefinitionBlock.h"

class MuzzleFlash;
class qParticle;
class Sound3D;

// A shot ray: where it starts and its unit direction.
struct ShotRay {
    Vector3 origin;
    Vector3 direction;
};

// The ray of a shot received from another machine for a weapon: a firing routine that finds it
// pending fires along it instead of aiming. One for the process, written by the network handlers.
struct RemoteShot {
    bool pending = false;
    ShotRay ray;
};
RemoteShot& GetRemoteShot();
// The ray of the last local single shot, for sending.
ShotRay& GetLastLocalShot();

// Every gun, launcher, the knife and the hand grenade: the parameters of the definition's weapon
// block, the magazine model, the accuracy model and aiming, the rating soldiers use, and the
// saved block. The firing loops belong to the subclasses.
//
// The saved block, behind the Item block (little-endian):
//   0 1 version, 1 | 1 1 stateFlag | 2 1 flashVisible | 3 4 cartridges | 7 4 magazines
//   11 4 magazineCapacity | 15 4 ownerSkill (float)
class WeaponItem : public Item {
public:
    static constexpr std::uint32_t kBlockSize = 19;
    // The largest deviation of a shot on each axis is half of this, in radians.
    static constexpr float kDeviationScale = 0.14279968f;

    WeaponItem();
    ~WeaponItem() override;

    void UpdateTransform(float elapsed) override;
    void Draw(Device* device) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    float GetTargetRating(GameObject* observer, const Stimulus* stimulus, float distanceSquared) override;
    void Deselect() override;
    bool BeginUse(bool forced) override;
    bool UseSecondary() override;
    float GetWeight() override { return float(magazines) * magazineWeight + weight; }
    bool IsWeapon() override { return true; }
    int GetMagazines() override { return magazines; }
    void SetMagazines(int count) override { magazines = count < maxMagazines ? count : maxMagazines; }

    // The common lines, then the weapon block from the definition's file; the held model and its
    // muzzle point. Throws q3DError "Can't load %s!" or the animation-set error.
    void ReadDefinition(const ItemDefinition& definition) override;
    // The third-person muzzle flash from "<base>-front.tga" and "<base>-side.tga"; throws q3DError
    // "Can't load %s: %s".
    virtual void LoadMuzzleFlash(const char* basePath);
    // The ammunition icon in the HUD's item column with the count beside it ("cartridges/magazines"
    // unless a count is given).
    void DrawAmmunition(Device* device, int count = -1);
    // Resource lines 1 and 2 as most weapons use them: the muzzle smoke and the ammunition icon
    // (each none when empty or "-").
    void LoadSmokeAndAmmoIcon();
    // The muzzle smoke, owned by the weapon; throws q3DError from the particle reader.
    virtual void LoadSmokeEffect(const char* path);
    virtual void SetCartridges(int count) { cartridges = count; }
    // A spare magazine into the weapon; none left changes nothing.
    virtual void Reload();
    virtual float GetSuitability(int targetKind, float distance) { (void)targetKind, (void)distance; return 0.0f; }
    virtual bool IsReloading() { return reloading; }
    // The carrying bone of the character (null: the owner) in the world, raised to the muzzle.
    virtual void GetFirePoint(ShotRay& ray, Character* character);
    virtual float GetSpreadScaled() { return GetSpread() * 10.0f; }
    // Spare magazines a dead enemy's weapon keeps; one draw of the shared generator, unused.
    virtual int GetDropMagazines();
    virtual bool CanTransferMagazines() { return true; }
    virtual int GetMaxMagazines() { return maxMagazines; }
    virtual int GetCartridges() { return cartridges; }
    virtual int GetBulletsPerShot() { return bulletsPerShot; }
    virtual int GetMagazineCapacity() { return magazineCapacity; }
    // Below 1.0 is steadier.
    virtual float GetAccuracy();
    virtual int GetBurstLength() { return burstLength; }
    virtual float GetBaseSpread() { return spread; }
    // The spread by the human owner's posture.
    virtual float GetSpread();
    virtual float GetEffectiveRange() { return effectiveRange; }
    virtual float GetRange() { return range; }
    virtual int GetNoise() { return noise; }
    virtual float GetFireInterval() { return fireInterval; }
    virtual float GetDamage() { return damage; }
    virtual float GetBulletValue2() { return bulletValue2; }
    virtual float GetTargetRatingValue() { return targetRating; }
    virtual float GetMagazineWeight() { return magazineWeight; }
    virtual int GetSkillIndex() { return skillIndex; }
    // Kind tests.
    virtual bool IsSMG() { return false; }
    virtual bool IsLMG() { return false; }
    virtual bool IsAutomatic() { return false; }
    virtual bool HasScope() { return false; }
    virtual bool IsMelee() { return false; }
    virtual bool IsAntiTank() { return false; }
    virtual bool IsVehicleMounted() { return false; }

    // Turns the ray by the owner's shot deviation: d = 1 - accuracy x skill for a computer-driven
    // owner, 1 - accuracy x (skill + 1) / 2 x playerAccuracyFactor for a human; clamped to 0..1.
    // The new direction is the forward row of the deviation turn times the owner's orientation.
    void ApplyDeviation(ShotRay& ray, float skill);

    // The owner's aim, deviated with the skill: the screen-centre ray for the local player, else
    // the fire point.
    ShotRay AimShot(float skill);
    // The ray of the shot being fired: a shot received from the network when one is pending, else
    // the owner's aim at the skill; remembered as the last local shot.
    ShotRay TakeShotRay(float skill);
    // The local player's view kicks up by the amount; other owners feel nothing.
    void ApplyRecoil(float amount);
    // Starts a reload when one is due: an owner that holds the weapon, not in use, spare magazines
    // (or an unlimited supply, -1), not reloading, magazine not full. Plays the reload sound and
    // the owner's reload action; the squad's computer-driven soldiers refill without a magazine.
    bool BeginReload(Sound3D* sound, int& handle);
    // Where the owner's weapon sounds: in front of it, raised by 3.
    Vector3 OwnerSoundPoint() const;
    void PlayAtOwner(Sound3D* sound, int* handle);

    bool stateFlag = true;
    std::unique_ptr<qParticle> smokeEffect; // placed, updated and drawn by the weapon itself
    std::unique_ptr<MuzzleFlash> muzzleFlash;
    std::int32_t tracerCounter = 0;
    bool reloading = false;
    bool savedActionLock = false;
    bool singleShotAllowed = true;
    bool holdAction = false;
    std::int32_t classDataEnd = 0;
    std::unique_ptr<Sprite> ammoIcon;
    float ownerSkill = 0.5f;
    std::int32_t cartridges = 0;
    Vector3 muzzlePoint;
    bool hasMuzzle = false;
    bool flashVisible = false;
    std::string resourcePath[7]; // the class's own files; cleared by the subclass after use
    std::int32_t maxMagazines = 0;
    std::int32_t magazines = 0;
    std::int32_t magazineCapacity = 0;
    std::int32_t bulletsPerShot = 1;
    float aiAccuracyFactor = 1.0f;
    float playerAccuracyFactor = 0.0f;
    float spread = 0.006f;
    float effectiveRange = 150.0f;
    float range = 0.0f;
    std::int32_t noise = 300;
    float fireInterval = 0.0f;
    std::int32_t burstLength = 0;
    float damage = 0.0f;
    float bulletValue2 = 0.0f;
    float targetRating = 0.0f;
    float magazineWeight = 0.0f;
    std::int32_t skillIndex = 0;
};
