#pragma once

#include <cstdint>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"

struct SaveStream;

// The aiming and firing state of a tank's turret and main gun, apart from the vehicle that
// carries it: the target direction in the body's frame, the turret's traverse and the gun's
// elevation towards it at fixed rates, the lock timer, the reload and the shells. Directions are
// in the body's frame; the turret turns about the body's vertical axis and the gun about the
// turret's horizontal one (a positive elevation lowers the muzzle).
struct TankGun {
    static constexpr float kTurretRate = 0.45f;     // rad/s
    static constexpr float kGunRate = 0.4f;         // rad/s
    static constexpr float kAlignedAngle = 0.01f;   // rad
    static constexpr float kHighestElevation = -0.7853982f; // 45 degrees up
    static constexpr float kLowestElevation = 0.19634955f;  // 11.25 degrees down
    static constexpr float kReloadTime = 8.0f;
    static constexpr float kLockTime = 1.0f;
    static constexpr int kShells = 100;
    // Hits below this leave the tank untouched.
    static constexpr int kLeastDamage = 150;
    // Bytes of the saved part: version, three directions, elevation, two flags, two rotations,
    // three timers, shells, the two turret times again and the crosshair.
    static constexpr std::uint32_t kBlockSize = 4 + 36 + 4 + 2 + 72 + 12 + 4 + 8 + 8;

    Vector3 targetDirection{0.0f, 0.0f, 1.0f};
    Vector3 turretForward{0.0f, 0.0f, 1.0f};
    Vector3 gunForward{0.0f, 0.0f, 1.0f};
    float turretYaw = 0.0f;
    float gunElevation = 0.0f;
    float reloadProgress = kReloadTime;
    float turretMovingTime = 0.0f;
    float turretIdleTime = 10.0f;
    float lockTimer = 0.0f;
    std::int32_t shells = kShells;
    bool turretAligned = true;
    bool gunAligned = true;
    bool fireRequested = false;
    bool triggerHeld = false;
    std::int32_t crosshairX = 0;
    std::int32_t crosshairY = 0;

    // A new target direction (in the body's frame; normalised here): the lock timer restarts and
    // both turret and gun must align again. A zero direction is ignored.
    void AimAt(const Vector3& bodyDirection);
    // The trigger. Forced sets the fire request; an enemy driver fires without waiting for the lock.
    // Unforced use is refused while the lock timer runs or the gun reloads.
    bool BeginUse(bool forced, bool enemyDriver);
    // One frame with a driver and armour left: the lock timer, the turret's traverse, then (turret
    // aligned) the gun's elevation, the reload and the turret times. True when a shot leaves the
    // gun this frame (a shell is spent, the reload restarts and the trigger is released).
    bool Step(float elapsed);
    // Whether the turret moved this frame (its loop sound plays).
    bool turretMoving = false;

    // The turret's rotation in the body's frame and the gun's in the turret's.
    Matrix3 TurretRotation() const;
    Matrix3 GunRotation() const;
    // The gun's line in the body's frame.
    Vector3 GunDirectionInBody() const;
    // Bearing of the target and of the turret from the body's forward axis, degrees.
    float TargetBearing() const;
    float TurretBearing() const;

    void Save(SaveStream* stream) const;
    // Reads the whole part before changing anything; a wrong version, a value that is not finite,
    // a direction that is not a unit vector, a rotation that is not one, or a negative shell count
    // raises q3DError.
    void Load(SaveStream* stream);
};
