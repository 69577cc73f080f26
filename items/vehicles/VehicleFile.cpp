#include "items/vehicles/VehicleFile.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "physics/VehicleModel.h"

namespace {

// The blank-separated tokens of a line, the line cut at its end of line.
std::vector<std::string> Tokens(const char* line)
{
    std::vector<std::string> out;
    const char* p = line;
    while (*p != '\0' && *p != '\n' && *p != '\r') {
        while (*p == ' ' || *p == '\t') {
            ++p;
        }
        const char* start = p;
        while (*p != '\0' && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') {
            ++p;
        }
        if (p > start) {
            out.emplace_back(start, p);
        }
    }
    return out;
}

bool ParseDouble(const std::string& token, double& out)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(token.c_str(), &end);
    if (end == token.c_str() || *end != '\0' || !std::isfinite(value)) {
        return false;
    }
    out = value;
    return true;
}

bool ParseInt(const std::string& token, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(token.c_str(), &end, 10);
    if (end == token.c_str() || *end != '\0' || errno != 0 || value < -1000000000L || value > 1000000000L) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

struct LineReader {
    const std::vector<std::string>& tokens;
    std::string& error;

    bool Doubles(double* out, int count, double low = -1e30, double high = 1e30)
    {
        if (static_cast<int>(tokens.size()) < count + 1) {
            error = tokens[0] + ": needs " + std::to_string(count) + " value(s)";
            return false;
        }
        double values[4] = {};
        for (int i = 0; i < count; ++i) {
            if (!ParseDouble(tokens[i + 1], values[i])) {
                error = tokens[0] + ": '" + tokens[i + 1] + "' is not a finite number";
                return false;
            }
            if (values[i] < low || values[i] > high) {
                error = tokens[0] + ": " + tokens[i + 1] + " is out of range";
                return false;
            }
        }
        for (int i = 0; i < count; ++i) {
            out[i] = values[i];
        }
        return true;
    }
    bool Positive(double& out, double high = 1e30)
    {
        double value = 0.0;
        if (!Doubles(&value, 1, -1e30, high)) {
            return false;
        }
        if (!(value > 0.0)) {
            error = tokens[0] + ": must be above 0";
            return false;
        }
        out = value;
        return true;
    }
    bool NonNegative(double& out) { return Doubles(&out, 1, 0.0); }
    bool Floats(float* out, int count, double low = -1e30, double high = 1e30)
    {
        double values[4] = {};
        if (!Doubles(values, count, low, high)) {
            return false;
        }
        for (int i = 0; i < count; ++i) {
            out[i] = static_cast<float>(values[i]);
        }
        return true;
    }
    bool Int(int& out, int low, int high)
    {
        if (tokens.size() < 2) {
            error = tokens[0] + ": needs a value";
            return false;
        }
        int value = 0;
        if (!ParseInt(tokens[1], value)) {
            error = tokens[0] + ": '" + tokens[1] + "' is not a whole number";
            return false;
        }
        if (value < low || value > high) {
            error = tokens[0] + ": " + tokens[1] + " is outside " + std::to_string(low) + ".." + std::to_string(high);
            return false;
        }
        out = value;
        return true;
    }
    bool Name(std::string& out, std::size_t limit)
    {
        if (tokens.size() < 2) {
            error = tokens[0] + ": needs a file name";
            return false;
        }
        if (tokens[1].size() > limit) {
            error = tokens[0] + ": file name longer than " + std::to_string(limit) + " characters";
            return false;
        }
        out = tokens[1];
        return true;
    }
};

} // namespace

void RestoreVehicleFileDefaults(VehicleFileKeys& keys)
{
    // The reset-only keys survive a re-read; the item's Reset restores them.
    VehicleFileKeys fresh;
    std::memcpy(fresh.exhaustOffset, keys.exhaustOffset, sizeof fresh.exhaustOffset);
    std::memcpy(fresh.engineVolumeRange, keys.engineVolumeRange, sizeof fresh.engineVolumeRange);
    std::memcpy(fresh.enginePitchRange, keys.enginePitchRange, sizeof fresh.enginePitchRange);
    fresh.maxSteerAngle = keys.maxSteerAngle;
    fresh.bodyArmor = keys.bodyArmor;
    fresh.troopProtection = keys.troopProtection;
    std::memcpy(fresh.damageSmokeOffset, keys.damageSmokeOffset, sizeof fresh.damageSmokeOffset);
    fresh.maxPassengers = keys.maxPassengers;
    keys = fresh;
}

bool ReadVehicleKeyLine(const char* line, VehicleFileKeys& keys, std::string& error)
{
    const std::vector<std::string> tokens = Tokens(line);
    if (tokens.empty()) {
        return true;
    }
    LineReader r{tokens, error};
    const std::string& key = tokens[0];
    constexpr double kPi = 3.14159265358979323846;
    constexpr double kMaxMass = 1e9;

    if (key == "GRAVITY") return r.Doubles(keys.gravity, 3, -1e4, 1e4);
    if (key == "CHASSIS_MASS") return r.Positive(keys.chassisMass, kMaxMass);
    if (key == "WHEEL_MASS") return r.Positive(keys.wheelMass, kMaxMass);
    if (key == "HEIGHT") return r.Doubles(&keys.height, 1, -1000.0, 1000.0);
    if (key == "SUSPENSION_STIFFNESS") return r.Positive(keys.suspensionStiffness);
    if (key == "SUSPENSION_DAMPING") return r.Doubles(&keys.suspensionDamping, 1);
    if (key == "SUSPENSION_GRAPHICAL_RANGE") return r.Doubles(&keys.suspensionGraphicalRange, 1);
    if (key == "TIRE_FRICTION") return r.NonNegative(keys.tireFriction);
    if (key == "GEAR_SPEED_LOW") return r.Doubles(&keys.gearSpeedLow, 1, 0.0, 1.0);
    if (key == "GEAR_SPEED_HIGH") return r.Doubles(&keys.gearSpeedHigh, 1, 0.0, 1.0);
    if (key == "MAX_FORWARD_SPEED") return r.Positive(keys.maxForwardSpeed);
    if (key == "MAX_REVERSE_SPEED") return r.Positive(keys.maxReverseSpeed);
    if (key == "NUM_FORWARD_GEARS") {
        // More gears than the model holds are clamped to its count; fewer than one are refused.
        int gears = 0;
        if (!r.Int(gears, 1, 1000000)) {
            return false;
        }
        keys.forwardGears = gears > VehicleModel::kMaxGears ? VehicleModel::kMaxGears : gears;
        return true;
    }
    if (key == "ENGINE_POWER") return r.Positive(keys.enginePower);
    if (key == "GEAR_ZERO_RPM") return r.NonNegative(keys.gearZeroRpm);
    if (key == "DRIVING_WHEELS") {
        if (tokens.size() < 5) {
            error = key + ": needs 4 values";
            return false;
        }
        int wheels[4] = {};
        for (int i = 0; i < 4; ++i) {
            if (!ParseInt(tokens[i + 1], wheels[i])) {
                error = key + ": '" + tokens[i + 1] + "' is not a whole number";
                return false;
            }
            wheels[i] = wheels[i] != 0 ? 1 : 0;
        }
        std::memcpy(keys.drivingWheels, wheels, sizeof wheels);
        return true;
    }
    if (key == "BRAKING_TORQUE") return r.NonNegative(keys.brakingTorque);
    if (key == "FIRST_PERSON_CAM_OFFSET") return r.Floats(keys.firstPersonCamOffset, 3, -1e4, 1e4);
    if (key == "THIRD_PERSON_CAM_DIST") return r.Doubles(&keys.thirdPersonCamDist, 1, 0.0, 1e4);
    if (key == "THIRD_PERSON_CAM_HEIGHT") return r.Doubles(&keys.thirdPersonCamHeight, 1, -1e4, 1e4);
    if (key == "THIRD_PERSON_CAM_SPEED") return r.Doubles(&keys.thirdPersonCamSpeed, 1, 0.0, 1e4);
    if (key == "COLLISION_BOUNCE") return r.Doubles(&keys.collisionBounce, 1, 0.0, 1.0);
    if (key == "COLLISION_SOUNDS") {
        for (int i = 0; i < VehicleFileKeys::kCollisionSounds; ++i) {
            keys.collisionSounds[i].clear();
        }
        int slot = 0;
        for (std::size_t i = 1; i < tokens.size() && slot < VehicleFileKeys::kCollisionSounds; ++i) {
            if (tokens[i].size() > static_cast<std::size_t>(VehicleFileKeys::kMaxSoundName)) {
                error = key + ": file name longer than " + std::to_string(VehicleFileKeys::kMaxSoundName) + " characters";
                return false;
            }
            keys.collisionSounds[slot++] = tokens[i];
        }
        return true;
    }
    constexpr std::size_t kNameLimit = VehicleFileKeys::kMaxLine;
    if (key == "BRAKE_SOUND") return r.Name(keys.brakeSound, kNameLimit);
    if (key == "ENTER_SOUND") return r.Name(keys.enterSound, kNameLimit);
    if (key == "EXIT_SOUND") return r.Name(keys.exitSound, kNameLimit);
    if (key == "ENGINE_DRIVE_SOUND") return r.Name(keys.engineDriveSound, kNameLimit);
    if (key == "ENGINE_IDLE_SOUND") return r.Name(keys.engineIdleSound, kNameLimit);
    if (key == "SKID_SOUND") return r.Name(keys.skidSound, kNameLimit);
    for (int i = 0; i < VehicleFileKeys::kGearSounds; ++i) {
        if (key == "GEAR_" + std::to_string(i + 1) + "_SOUND") return r.Name(keys.gearSounds[i], kNameLimit);
    }
    if (key == "EXHAUST_PARTICLE_SYSTEM") return r.Name(keys.exhaustParticles, kNameLimit);
    if (key == "EXHAUST_OFFSET") return r.Floats(keys.exhaustOffset, 3, -1e4, 1e4);
    if (key == "ENGINE_VOLUME_RANGE") return r.Floats(keys.engineVolumeRange, 2, -1e6, 1e6);
    if (key == "ENGINE_PITCH_RANGE") return r.Floats(keys.enginePitchRange, 2, 0.0, 1e6);
    if (key == "ENGINE_START_TIME") return r.Floats(&keys.engineStartTime, 1, 0.0, 1e4);
    if (key == "ENGINE_IDLE_PITCH") return r.Floats(&keys.engineIdlePitch, 1, 0.0, 1e6);
    if (key == "ENGINE_IDLE_VOLUME") return r.Floats(&keys.engineIdleVolume, 1, 0.0, 1e6);
    if (key == "MAX_STEER_ANGLE") {
        float degrees = 0.0f;
        if (!r.Floats(&degrees, 1, 0.0, 90.0)) {
            return false;
        }
        keys.maxSteerAngle = static_cast<float>(degrees * kPi / 180.0);
        return true;
    }
    if (key == "BODY_ARMOR") {
        float armor = 0.0f;
        if (!r.Floats(&armor, 1, -1.0, 1e9)) {
            return false;
        }
        if (armor != -1.0f && !(armor > 0.0f)) {
            error = key + ": must be above 0, or -1 for indestructible";
            return false;
        }
        keys.bodyArmor = armor == -1.0f ? 1000000.0f : armor;
        return true;
    }
    if (key == "TROOP_PROTECTION") return r.Floats(&keys.troopProtection, 1, 0.0, 100.0);
    if (key == "DAMAGE_SMOKE") return r.Name(keys.damageSmoke, kNameLimit);
    if (key == "DAMAGE_SMOKE_OFFSET") return r.Floats(keys.damageSmokeOffset, 3, -1e4, 1e4);
    if (key == "MAX_PASSENGERS") {
        // The seat count travels in a byte: more seats than it holds are clamped to its limit.
        int seats = 0;
        if (!r.Int(seats, 1, 1000000)) {
            return false;
        }
        keys.maxPassengers = seats > VehicleFileKeys::kMaxPassengersLimit ? VehicleFileKeys::kMaxPassengersLimit : seats;
        return true;
    }
    return true;
}

bool ReadVehicleKeys(const char* text, VehicleFileKeys& keys, std::string& error)
{
    if (text == nullptr) {
        return true;
    }
    int number = 0;
    const char* p = text;
    while (*p != '\0') {
        ++number;
        const char* end = std::strchr(p, '\n');
        const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - p) : std::strlen(p);
        // Only the first kMaxLine characters of a line count, as a fixed line buffer reads it.
        std::string line(p, length < static_cast<std::size_t>(VehicleFileKeys::kMaxLine) ? length
                                                                                         : VehicleFileKeys::kMaxLine);
        std::string lineError;
        if (!ReadVehicleKeyLine(line.c_str(), keys, lineError)) {
            error = "line " + std::to_string(number) + ": " + lineError;
            return false;
        }
        if (end == nullptr) {
            break;
        }
        p = end + 1;
    }
    return true;
}

std::string VehicleModelPathFromLine(const char* line)
{
    std::string path = line != nullptr ? line : "";
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) {
        path.pop_back();
    }
    return path;
}

std::string VehicleFilePath(const char* path, bool remoteClient)
{
    std::string out = remoteClient ? "MultiTXT/" : "";
    out += path != nullptr ? path : "";
    return out;
}
