#include "items/vehicles/TankVehicleItem.h"

#include <string>
#include <vector>

#include "characters/body/Character.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/mesh/MeshNode.h"
#include "engine/mesh/qMesh.h"
#include "engine/serial/SaveStream.h"
#include "items/ItemServices.h"
#include "items/projectiles/Rocket.h"
#include "items/vehicles/VehicleFile.h"
#include "world/map/MapObject.h"

namespace {

// A part of the tank beside its body model, scaled to world units.
std::unique_ptr<MeshNode> LoadPart(Device* device, const std::string& partPath)
{
    auto part = std::make_unique<MeshNode>();
    part->Load(device, partPath.c_str(), nullptr, 0);
    if (qMesh* mesh = part->GetMesh()) {
        mesh->Scale(0.1f);
        mesh->ComputeBounds();
    }
    part->position = part->position * 0.1f;
    return part;
}

} // namespace

TankVehicleItem::TankVehicleItem(VehicleServices& vehicleServices, const char* filePath)
    : PassengerVehicleItem(vehicleServices)
{
    vehicleType = TankType;
    category = Vehicle;
    Reset();
    LoadModel(filePath);
}

TankVehicleItem::~TankVehicleItem() = default;

void TankVehicleItem::LoadModel(const char* filePath)
{
    turretPart.reset();
    gunPart.reset();
    gun = TankGun();
    VehicleItem::LoadModel(filePath);

    // The turret and gun stand beside the body model named on the vehicle file's second line.
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(GetPath().c_str(), bytes))
        throw q3DError("Can't open %s", GetPath().c_str());
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t firstEnd = text.find('\n');
    const std::size_t secondEnd = firstEnd == std::string::npos ? std::string::npos : text.find('\n', firstEnd + 1);
    const std::string line = firstEnd == std::string::npos ? std::string()
                                                           : text.substr(firstEnd + 1, secondEnd == std::string::npos
                                                                                           ? std::string::npos
                                                                                           : secondEnd - firstEnd - 1);
    const std::string modelPath = VehicleModelPathFromLine(line.c_str());
    const std::size_t dot = modelPath.find_last_of('.');
    const std::size_t slash = modelPath.find_last_of("/\\");
    const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                 ? modelPath.substr(0, dot)
                                 : modelPath;
    turretPart = LoadPart(GetDeviceForLoading(), stem + "-turret.q3d");
    gunPart = LoadPart(GetDeviceForLoading(), stem + "-gun.q3d");
    turretPart->SetParent(body);
    gunPart->SetParent(turretPart.get());
    PlaceTurret();
}

void TankVehicleItem::Unload()
{
    gunPart.reset();
    turretPart.reset();
    PassengerVehicleItem::Unload();
}

void TankVehicleItem::PlaceTurret()
{
    if (!turretPart || !gunPart)
        return;
    turretPart->rotation = gun.TurretRotation();
    gunPart->rotation = gun.GunRotation();
}

void TankVehicleItem::AimAt(const Vector3& point)
{
    if (!gunPart || !body)
        return;
    body->Update(0.0f);
    const Vector3 from = gunPart->world.GetTranslation();
    // Into the body's frame: the inverse of its rotation is its transpose.
    gun.AimAt(body->rotation.Transpose().Transform(point - from));
}

bool TankVehicleItem::BeginUse(bool forced)
{
    const bool enemyDriver = owner && owner->kind == Character::EnemyKind;
    if (!gun.BeginUse(forced, enemyDriver))
        return false;
    inUse = true;
    return true;
}

bool TankVehicleItem::OnSelectStep(int direction, int x, int y)
{
    (void)direction, (void)x, (void)y;
    return false;
}

bool TankVehicleItem::ApplyDamage(int amount, const Vector3& point, const Vector3& direction)
{
    if (amount < TankGun::kLeastDamage)
        return false;
    VehicleItem::ApplyDamage(amount, point, direction);
    return true;
}

void TankVehicleItem::Update(float elapsed)
{
    PassengerVehicleItem::Update(elapsed);
    noiseLevel = 500;
    if (owner && armor > 0.0f) {
        gun.triggerHeld = inUse;
        if (gun.Step(elapsed))
            Fire();
    }
    PlaceTurret();
}

void TankVehicleItem::Fire()
{
    ++shotsFired;
    EndUse();
    if (!gunPart || !body)
        return;
    body->Update(0.0f);
    const Vector3 muzzle = gunPart->world.GetTranslation();
    Vector3 direction = body->rotation.Transform(gun.targetDirection);
    direction.Normalize();
    ItemsAddProjectile(new Rocket(muzzle, direction, kShellRange, owner, kShellLeastDamage, kShellMostDamage,
                                  kShellBlast, false, nullptr));
}

void TankVehicleItem::AttachToMapObject(MapObject* object, bool findLink)
{
    (void)findLink;
    VehicleItem::AttachToMapObject(object, true);
    if (object)
        object->hidden = true;
}

void TankVehicleItem::Draw(Device* device)
{
    VehicleItem::Draw(device);
    if (turretPart)
        turretPart->Draw(device);
    if (gunPart)
        gunPart->Draw(device);
}

void TankVehicleItem::Save(SaveStream* stream)
{
    PassengerVehicleItem::Save(stream);
    gun.Save(stream);
}

void TankVehicleItem::Load(SaveStream* stream)
{
    PassengerVehicleItem::Load(stream);
    gun.Load(stream);
    PlaceTurret();
}
