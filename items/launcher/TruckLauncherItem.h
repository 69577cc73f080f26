#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/Quaternion.h"
#include "engine/mesh/MeshNode.h"
#include "items/WeaponItem.h"

class Sound3D;

// The guided launcher that stands on a vehicle ("Mounted Launcher"): a body with a turning turret
// and an elevating barrel. Selecting it mans it (the gunner moves behind the barrel and aims it
// within fixed limits); it fires rockets after each reload delay; the use action leaves it and
// gives the gunner back the item he held before.
//
// Its block behind the WeaponItem block (little-endian):
//   0 4 version, 1 | 4 12 gunner position | 16 4 gunner pitch | 20 4 gunner yaw | 24 4 gunner move
//   mode | 28 4 gunner posture | 32 12 body position | 44 16 body rotation (quaternion x, y, z, w)
//   | 60 4 reload timer | 64 4 pitch | 68 4 yaw
class TruckLauncherItem : public WeaponItem {
public:
    static constexpr std::uint32_t kBlockSize = 72;
    static constexpr const char* kModelPath = "GameData/Items/Truck_Launcher/truck_weapon.q3d";
    static constexpr const char* kFireSoundPath = "GameData/Items/Truck_Launcher/fire.wav";
    static constexpr const char* kCrosshairPath = "GameData/Items/Truck_Launcher/Crosshair.tga";
    static constexpr float kMinPitch = -0.34906584f; // -20 degrees
    static constexpr float kMaxPitch = 0.17453292f;  // +10 degrees
    static constexpr float kMaxYaw = 0.5235988f;     // +-30 degrees
    // An aim change smaller than this in both angles is not sent to the other machines.
    static constexpr float kSendThreshold = 0.19634955f;
    // The move mode a manning gunner takes: he rides the launcher.
    static constexpr int kGunnerMoveMode = 2;

    explicit TruckLauncherItem(const ItemDefinition& definition);
    ~TruckLauncherItem() override;

    void UpdateTransform(float elapsed) override;
    void Draw(Device* device) override;
    void DrawHUD(Device* device) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void Select() override;
    void Deselect() override;
    bool BeginUse(bool forced) override;
    bool OnKeyDown(int key) override;
    bool OnMouseDown(int button, int x, int y, int flags) override;
    bool MovesWhenDropped() override { return false; }
    bool LiesDownWhenDropped() override { return false; }
    bool ExpiresWhenDropped() override { return false; }
    bool IntersectRay(HitResult& hit) override;
    bool OnHit(HitResult& hit, Bullet* bullet, int damage, const Vector3& point, const Vector3& normal) override;
    bool IsAntiTank() override { return true; }
    bool IsExplosive() override { return true; }
    bool IsVehicleMounted() override { return true; }

    // The aim after a change, held within the limits.
    static void StepAim(float& pitch, float& yaw, float pitchChange, float yawChange);
    // A remote gunner's aim: blended from the current aim to this one over a second.
    void SetNetworkAim(float newPitch, float newYaw);
    // The gunner leaves: he takes back the item he held before, the launcher is dropped where its
    // body stands and the body gets back the rotation it had when he manned it.
    void AttachToVehicle(Character* character);

    MeshNode* GetBody() const { return body.get(); }
    MeshNode* GetTurret() const { return turret.get(); }
    MeshNode* GetBarrel() const { return barrel.get(); }
    bool IsManned() const { return manned; }
    // "Reloading... %.1f" while the reload runs, empty when the launcher is ready.
    const std::string& GetReloadText() const { return reloadText; }

    // The gunner as he was before manning, given back when he leaves.
    Vector3 gunnerPosition;
    float gunnerPitch = 0.0f;
    float gunnerYaw = 0.0f;
    std::int32_t gunnerMoveMode = 0;
    std::int32_t gunnerPosture = 0;
    bool gunnerGravity = false;
    bool gunnerCollides = false;
    Quaternion bodyRotation;
    Vector3 bodyPosition;
    float reloadTimer = 0.0f;
    float pitch = 0.0f;
    float yaw = 0.0f;
    float sentPitch = 0.0f;
    float sentYaw = 0.0f;
    float blendStartPitch = 0.0f;
    float blendStartYaw = 0.0f;
    float blendTargetPitch = 0.0f;
    float blendTargetYaw = 0.0f;
    float blendTimer = 0.0f;

private:
    void LoadParts();
    void PlaceBody();
    void PlaceGunner();
    void Leave();

    std::unique_ptr<Sound3D> fireSound;
    std::unique_ptr<Sprite> crosshair;
    std::unique_ptr<MeshNode> body;
    std::unique_ptr<MeshNode> turret;
    std::unique_ptr<MeshNode> barrel;
    Character* gunner = nullptr; // set while manned
    bool manned = false;
    int fireHandle = -1;
    std::string reloadText;
};
