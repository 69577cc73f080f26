#pragma once

#include <cstdio>
#include <string>

#include "engine/core/Vector.h"

// The key lines of a vehicle file: physics, cameras, sounds, exhaust, damage and seats. Values
// start at their defaults; ReadVehicleKeys overwrites those the text names. The first two lines
// (name and model path) are read by the item itself and are ignored here as keyword lines.
struct VehicleFileKeys {
    static constexpr int kCollisionSounds = 4;
    static constexpr int kGearSounds = 5;
    // Longest line taken as a keyword line; the rest of a longer line is ignored.
    static constexpr int kMaxLine = 254;
    // A file that asks for more seats than the seat count's byte holds gets the byte's limit.
    static constexpr int kMaxPassengersLimit = 255;
    static constexpr int kMaxSoundName = 47;

    double gravity[3] = {0.0, -52.1, 0.0};
    double chassisMass = 3500.0;
    double wheelMass = 50.0;
    double height = 0.0;
    double suspensionStiffness = 1.0;
    double suspensionDamping = 1.0;
    double suspensionGraphicalRange = 0.27;
    double tireFriction = 1.0;
    double gearSpeedLow = 0.6;
    double gearSpeedHigh = 1.0;
    double maxForwardSpeed = 220.0;
    double maxReverseSpeed = 8.0;
    int forwardGears = 4;
    double enginePower = 520000.0;
    double gearZeroRpm = 5.0;
    int drivingWheels[4] = {0, 1, 1, 0};
    double brakingTorque = 0.0;
    float firstPersonCamOffset[3] = {0.0f, 0.0f, 0.0f};
    double thirdPersonCamDist = 25.0;
    double thirdPersonCamHeight = 0.20943951606750488;
    double thirdPersonCamSpeed = 1.7;
    double collisionBounce = 0.3;
    std::string collisionSounds[kCollisionSounds];
    std::string brakeSound;
    std::string enterSound;
    std::string exitSound;
    std::string engineDriveSound;
    std::string engineIdleSound;
    std::string skidSound;
    std::string gearSounds[kGearSounds];
    std::string exhaustParticles;
    float exhaustOffset[3] = {0.0f, 0.0f, 0.0f};
    float engineVolumeRange[2] = {0.0f, 100.0f};
    float enginePitchRange[2] = {11050.0f, 27050.0f};
    float engineStartTime = 0.0f;
    float engineIdlePitch = 22050.0f;
    float engineIdleVolume = 0.9f;
    float maxSteerAngle = 0.3926991f; // radians; the file gives degrees
    float bodyArmor = 1000.0f;        // -1 in the file: indestructible, stored as 1000000
    float troopProtection = 1.0f;
    std::string damageSmoke;
    float damageSmokeOffset[3] = {0.0f, 0.0f, 0.0f};
    int maxPassengers = 4;
};

// Keeps the keys the item keeps across reads (the reset-only ones) and restores the others to
// their defaults, as a re-read of a file does.
void RestoreVehicleFileDefaults(VehicleFileKeys& keys);

// One keyword line into the keys. Returns false with a message in error for a known keyword whose
// values are missing, not numbers, not finite, or out of range (negative or zero masses, gear
// counts outside 1..16, a steering limit outside 0..90 degrees...); the keys keep their earlier
// values then. Unknown keywords (compared case-sensitively as a whole token) are no error.
bool ReadVehicleKeyLine(const char* line, VehicleFileKeys& keys, std::string& error);

// Every line of the text. Returns false at the first bad line with "line N: ..." in error.
bool ReadVehicleKeys(const char* text, VehicleFileKeys& keys, std::string& error);

// The model path of line 2: only the trailing CR and LF are taken off.
std::string VehicleModelPathFromLine(const char* line);

// The path a vehicle file is read from: "MultiTXT/" before it on a connected client that does not
// host, where the host's files are received; unchanged otherwise.
std::string VehicleFilePath(const char* path, bool remoteClient);
