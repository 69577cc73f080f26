#pragma once

#include <memory>

#include "items/vehicles/PassengerVehicleItem.h"
#include "items/vehicles/TankGun.h"

class MeshNode;

// The tank: a passenger vehicle (type 1) with a traversing turret and an elevating main gun that
// fires shells (rockets) at a target designated in the tank's own frame. The turret and gun models
// stand beside the body model ("<model>-turret.q3d", "<model>-gun.q3d"). Hits below 150 do not
// touch it. The wheel steps of its driver aim the gun and are used up, so that the driver's item
// never changes under him.
//
// Its block: the VehicleItem block, then the gun's part (TankGun).
class TankVehicleItem : public PassengerVehicleItem {
public:
    static constexpr float kShellRange = 300.0f;
    static constexpr float kShellLeastDamage = 800.0f;
    static constexpr float kShellMostDamage = 1000.0f;
    static constexpr float kShellBlast = 80.0f;

    TankVehicleItem(VehicleServices& services, const char* path);
    ~TankVehicleItem() override;

    void Update(float elapsed) override;
    void LoadModel(const char* path) override;
    void Unload() override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    bool ApplyDamage(int amount, const Vector3& point, const Vector3& direction) override;
    void Draw(Device* device) override;
    bool BeginUse(bool forced) override;
    // The step is used up: it never selects another item.
    bool OnSelectStep(int direction, int x, int y) override;
    void SetHandbrake() override { controls.handbrake = 1; }
    // The placed object is hidden for good: the tank draws itself, driven or not.
    void AttachToMapObject(MapObject* object, bool findLink) override;

    // Designates a world point: the target direction from the gun, in the body's frame.
    void AimAt(const Vector3& point);

    MeshNode* GetTurretPart() const { return turretPart.get(); }
    MeshNode* GetGunPart() const { return gunPart.get(); }
    // Shells fired since the tank was made (for tests and the HUD).
    int GetShotsFired() const { return shotsFired; }

    TankGun gun;

private:
    void Fire();
    void PlaceTurret();

    std::unique_ptr<MeshNode> turretPart;
    std::unique_ptr<MeshNode> gunPart;
    int shotsFired = 0;
};
