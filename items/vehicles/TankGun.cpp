#include "items/vehicles/TankGun.h"

#include <algorithm>
#include <cmath>

#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"

namespace {

constexpr float kDegreesPerRadian = 57.295776f;

float AngleBetween(const Vector3& a, const Vector3& b)
{
    return std::acos(std::clamp(a.x * b.x + a.y * b.y + a.z * b.z, -1.0f, 1.0f));
}

bool IsUnit(const Vector3& v)
{
    return std::fabs(v.x * v.x + v.y * v.y + v.z * v.z - 1.0f) < 0.01f;
}

bool IsRotation(const Matrix3& m)
{
    const Matrix3 product = m * m.Transpose();
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            if (std::fabs(product(row, column) - (row == column ? 1.0f : 0.0f)) > 0.01f)
                return false;
    return true;
}

} // namespace

void TankGun::AimAt(const Vector3& bodyDirection)
{
    Vector3 direction = bodyDirection;
    if (direction.Length() <= 0.0f || !std::isfinite(direction.Length()))
        return;
    direction.Normalize();
    targetDirection = direction;
    lockTimer = kLockTime;
    turretAligned = false;
    gunAligned = false;
}

bool TankGun::BeginUse(bool forced, bool enemyDriver)
{
    if (forced)
        fireRequested = true;
    if (enemyDriver)
        lockTimer = 0.0f;
    if (!forced && (lockTimer > 0.0f || reloadProgress < kReloadTime))
        return false;
    triggerHeld = true;
    return true;
}

Matrix3 TankGun::TurretRotation() const
{
    const float c = std::cos(turretYaw), s = std::sin(turretYaw);
    Matrix3 m;
    m(0, 0) = c, m(0, 2) = -s;
    m(2, 0) = s, m(2, 2) = c;
    return m;
}

Matrix3 TankGun::GunRotation() const
{
    const float c = std::cos(gunElevation), s = std::sin(gunElevation);
    Matrix3 m;
    m(1, 1) = c, m(1, 2) = s;
    m(2, 1) = -s, m(2, 2) = c;
    return m;
}

Vector3 TankGun::GunDirectionInBody() const
{
    return (GunRotation() * TurretRotation()).Transform(Vector3(0.0f, 0.0f, 1.0f));
}

float TankGun::TargetBearing() const
{
    return std::atan2(targetDirection.x, targetDirection.z) * kDegreesPerRadian;
}

float TankGun::TurretBearing() const
{
    return turretYaw * kDegreesPerRadian;
}

bool TankGun::Step(float elapsed)
{
    if (turretAligned && gunAligned && lockTimer > 0.0f)
        lockTimer -= elapsed;
    turretMoving = false;

    if (!turretAligned) {
        Vector3 flat(targetDirection.x, 0.0f, targetDirection.z);
        const float angle = flat.Length() > 0.0f ? AngleBetween(flat * (1.0f / flat.Length()), turretForward) : 0.0f;
        if (angle <= kAlignedAngle) {
            turretAligned = true;
        } else {
            // Positive when the turret points to the right of the target.
            const float side = flat.z * turretForward.x - flat.x * turretForward.z;
            turretYaw += (side > 0.0f ? -1.0f : 1.0f) * std::min(angle, elapsed * kTurretRate);
            turretYaw = std::remainder(turretYaw, 6.2831855f);
            turretForward = TurretRotation().Transform(Vector3(0.0f, 0.0f, 1.0f));
            turretMoving = true;
        }
    }
    if (turretAligned && !gunAligned) {
        // The target in the turret's frame, in its vertical plane.
        Vector3 local = TurretRotation().Transpose().Transform(targetDirection);
        local.x = 0.0f;
        float step = 0.0f;
        if (local.Length() > 0.0f) {
            local.Normalize();
            const Vector3 gun = GunRotation().Transform(Vector3(0.0f, 0.0f, 1.0f));
            const float angle = AngleBetween(local, gun);
            if (angle > kAlignedAngle) {
                step = std::min(angle, elapsed * kGunRate);
                // The target above the gun's line raises it (a lower elevation).
                if (local.y * gun.z - local.z * gun.y > 0.0f)
                    step = -step;
            }
        }
        const float elevation = std::clamp(gunElevation + step, kHighestElevation, kLowestElevation);
        if (elevation != gunElevation) {
            gunElevation = elevation;
            gunForward = GunDirectionInBody();
            turretMoving = true;
        } else {
            gunAligned = true;
        }
    }
    if (turretMoving) {
        turretIdleTime = 0.0f;
        turretMovingTime += elapsed;
    } else if (turretAligned && gunAligned) {
        turretMovingTime = 0.0f;
        turretIdleTime += elapsed;
    }
    reloadProgress = std::min(reloadProgress + elapsed, kReloadTime);

    const bool ready = turretAligned && gunAligned && reloadProgress >= kReloadTime && triggerHeld;
    if (!(ready || fireRequested) || shells <= 0)
        return false;
    --shells;
    reloadProgress = 0.0f;
    fireRequested = false;
    triggerHeld = false;
    return true;
}

void TankGun::Save(SaveStream* stream) const
{
    stream->WriteInt32(1);
    stream->WriteVector3(targetDirection);
    stream->WriteVector3(turretForward);
    stream->WriteVector3(gunForward);
    stream->WriteFloat(gunElevation);
    stream->WriteBool(turretAligned);
    stream->WriteBool(gunAligned);
    stream->WriteMatrix3(TurretRotation());
    stream->WriteMatrix3(GunRotation());
    stream->WriteFloat(reloadProgress);
    stream->WriteFloat(turretMovingTime);
    stream->WriteFloat(turretIdleTime);
    stream->WriteInt32(shells);
    stream->WriteFloat(turretMovingTime);
    stream->WriteFloat(turretIdleTime);
    stream->WriteInt32(crosshairX);
    stream->WriteInt32(crosshairY);
}

void TankGun::Load(SaveStream* stream)
{
    if (stream->ReadInt32() != 1)
        throw q3DError("Incorrection version number in TankVehicleItem block");
    const Vector3 target = stream->ReadVector3("target direction");
    const Vector3 turret = stream->ReadVector3("turret forward");
    const Vector3 gun = stream->ReadVector3("gun forward");
    const float elevation = stream->ReadFloat("gun elevation");
    const bool readTurretAligned = stream->ReadBool();
    const bool readGunAligned = stream->ReadBool();
    const Matrix3 turretRotation = stream->ReadMatrix3("turret rotation");
    const Matrix3 gunRotation = stream->ReadMatrix3("gun rotation");
    const float reload = stream->ReadFloat("reload progress");
    stream->ReadFloat("turret moving time");
    stream->ReadFloat("turret idle time");
    const std::int32_t readShells = stream->ReadInt32();
    const float moving = stream->ReadFloat("turret moving time");
    const float idle = stream->ReadFloat("turret idle time");
    const std::int32_t x = stream->ReadInt32();
    const std::int32_t y = stream->ReadInt32();
    if (!IsUnit(target) || !IsUnit(turret) || !IsUnit(gun))
        throw q3DError("A direction in the TankVehicleItem block is not a unit vector");
    if (!IsRotation(turretRotation) || !IsRotation(gunRotation))
        throw q3DError("A rotation in the TankVehicleItem block is not a rotation");
    if (elevation < kHighestElevation - 0.001f || elevation > kLowestElevation + 0.001f)
        throw q3DError("The gun elevation in the TankVehicleItem block is out of range");
    if (readShells < 0)
        throw q3DError("Incorrect shell count %d in TankVehicleItem block", readShells);
    targetDirection = target;
    turretForward = turret;
    gunForward = gun;
    gunElevation = elevation;
    turretYaw = std::atan2(turretRotation(2, 0), turretRotation(2, 2));
    turretAligned = readTurretAligned;
    gunAligned = readGunAligned;
    reloadProgress = std::clamp(reload, 0.0f, kReloadTime);
    shells = readShells;
    turretMovingTime = moving;
    turretIdleTime = idle;
    crosshairX = x;
    crosshairY = y;
}
