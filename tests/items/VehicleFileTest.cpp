#include "items/vehicles/VehicleFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

TEST(VehicleFileKeys, AnEmptyFileKeepsEveryDefault)
{
    VehicleFileKeys keys;
    std::string error;
    ASSERT_TRUE(ReadVehicleKeys("Jeep\nModels/jeep.q3d\n", keys, error)) << error;
    EXPECT_DOUBLE_EQ(keys.gravity[1], -52.1);
    EXPECT_DOUBLE_EQ(keys.chassisMass, 3500.0);
    EXPECT_EQ(keys.forwardGears, 4);
    const int driven[4] = {0, 1, 1, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(keys.drivingWheels[i], driven[i]) << i;
    EXPECT_FLOAT_EQ(keys.maxSteerAngle, 0.3926991f);
    EXPECT_EQ(keys.maxPassengers, 4);
}

// What a good line stores, one row per key kind (numbers, vectors, names, converted values).
TEST(VehicleFileKeys, GoodLinesStoreTheirValues)
{
    struct Case {
        const char* line;
        std::function<bool(const VehicleFileKeys&)> check;
    };
    const Case cases[] = {
        {"GRAVITY 0 -30 1", [](const VehicleFileKeys& k) { return k.gravity[1] == -30.0 && k.gravity[2] == 1.0; }},
        {"CHASSIS_MASS 1200.5", [](const VehicleFileKeys& k) { return k.chassisMass == 1200.5; }},
        {"NUM_FORWARD_GEARS 5", [](const VehicleFileKeys& k) { return k.forwardGears == 5; }},
        {"NUM_FORWARD_GEARS 99", [](const VehicleFileKeys& k) { return k.forwardGears == 16; }},
        {"DRIVING_WHEELS 1 0 0 7", [](const VehicleFileKeys& k) { return k.drivingWheels[0] == 1 && k.drivingWheels[1] == 0 && k.drivingWheels[3] == 1; }},
        {"MAX_STEER_ANGLE 30", [](const VehicleFileKeys& k) { return std::fabs(k.maxSteerAngle - 0.5235988f) < 1e-6f; }},
        {"BODY_ARMOR -1", [](const VehicleFileKeys& k) { return k.bodyArmor == 1000000.0f; }},
        {"BODY_ARMOR 250", [](const VehicleFileKeys& k) { return k.bodyArmor == 250.0f; }},
        {"MAX_PASSENGERS 6", [](const VehicleFileKeys& k) { return k.maxPassengers == 6; }},
        {"MAX_PASSENGERS 4000", [](const VehicleFileKeys& k) { return k.maxPassengers == 255; }},
        {"COLLISION_SOUNDS a.wav b.wav", [](const VehicleFileKeys& k) { return k.collisionSounds[1] == "b.wav" && k.collisionSounds[2].empty(); }},
        {"GEAR_3_SOUND Sounds/g3.wav", [](const VehicleFileKeys& k) { return k.gearSounds[2] == "Sounds/g3.wav"; }},
        {"FIRST_PERSON_CAM_OFFSET 1 2 3", [](const VehicleFileKeys& k) { return k.firstPersonCamOffset[2] == 3.0f; }},
        {"ENGINE_VOLUME_RANGE 20 80\r", [](const VehicleFileKeys& k) { return k.engineVolumeRange[1] == 80.0f; }},
        // Keywords compare case-sensitively as whole tokens: these change nothing.
        {"max_passengers 9", [](const VehicleFileKeys& k) { return k.maxPassengers == 4; }},
        {"MAX_PASSENGERSX 9", [](const VehicleFileKeys& k) { return k.maxPassengers == 4; }},
        {"", [](const VehicleFileKeys& k) { return k.maxPassengers == 4; }},
    };
    for (const Case& c : cases) {
        VehicleFileKeys keys;
        std::string error;
        EXPECT_TRUE(ReadVehicleKeyLine(c.line, keys, error)) << c.line << ": " << error;
        EXPECT_TRUE(c.check(keys)) << c.line;
    }
}

// Hostile lines are refused with a message naming the key, and nothing is stored.
TEST(VehicleFileKeys, BadLinesAreRefusedAndStoreNothing)
{
    const char* lines[] = {
        "CHASSIS_MASS",           "CHASSIS_MASS 0",          "CHASSIS_MASS -5",        "WHEEL_MASS nan",
        "CHASSIS_MASS 1e300",     "GRAVITY 0 inf 0",         "GRAVITY 0 -9",           "NUM_FORWARD_GEARS 0",
        "NUM_FORWARD_GEARS -3",   "NUM_FORWARD_GEARS x",     "MAX_PASSENGERS 0",       "MAX_PASSENGERS 99999999999",
        "MAX_STEER_ANGLE 200",    "BODY_ARMOR 0",            "BODY_ARMOR -7",          "DRIVING_WHEELS 1 1",
        "ENGINE_POWER 0",         "MAX_FORWARD_SPEED -1",    "COLLISION_BOUNCE 3",     "ENGINE_SOUND_X",
    };
    for (const char* line : lines) {
        VehicleFileKeys keys;
        const VehicleFileKeys before;
        std::string error;
        const bool accepted = ReadVehicleKeyLine(line, keys, error);
        if (std::string(line) == "ENGINE_SOUND_X") {
            EXPECT_TRUE(accepted); // an unknown keyword is no error
            continue;
        }
        EXPECT_FALSE(accepted) << line;
        EXPECT_NE(error.find(std::string(line).substr(0, std::string(line).find(' '))), std::string::npos) << error;
        EXPECT_EQ(keys.chassisMass, before.chassisMass) << line;
        EXPECT_EQ(keys.forwardGears, before.forwardGears) << line;
        EXPECT_EQ(keys.maxPassengers, before.maxPassengers) << line;
        EXPECT_EQ(keys.gravity[1], before.gravity[1]) << line;
    }
}

TEST(VehicleFileKeys, TheBadLineIsNamedByNumber)
{
    VehicleFileKeys keys;
    std::string error;
    EXPECT_FALSE(ReadVehicleKeys("Car\nModels/car.q3d\nCHASSIS_MASS 10\nWHEEL_MASS -1\n", keys, error));
    EXPECT_EQ(error.rfind("line 4: WHEEL_MASS", 0), 0u) << error;
    EXPECT_DOUBLE_EQ(keys.chassisMass, 10.0);
}

TEST(VehicleFileKeys, ALongLineCountsOnlyItsFirstCharacters)
{
    VehicleFileKeys keys;
    std::string error;
    const std::string text = "Car\nModel\nMAX_PASSENGERS 6" + std::string(300, ' ') + "junk\n";
    ASSERT_TRUE(ReadVehicleKeys(text.c_str(), keys, error)) << error;
    EXPECT_EQ(keys.maxPassengers, 6);
}

TEST(VehicleFileKeys, ReReadingRestoresAllButTheResetOnlyKeys)
{
    VehicleFileKeys keys;
    std::string error;
    ASSERT_TRUE(ReadVehicleKeys("A\nB\nCHASSIS_MASS 10\nMAX_PASSENGERS 2\nBODY_ARMOR 50\n", keys, error));
    RestoreVehicleFileDefaults(keys);
    EXPECT_DOUBLE_EQ(keys.chassisMass, 3500.0);
    EXPECT_EQ(keys.maxPassengers, 2);
    EXPECT_FLOAT_EQ(keys.bodyArmor, 50.0f);
}

TEST(VehicleFileKeys, TheModelPathLosesOnlyItsLineEnd)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Models/car.q3d\r\n", "Models/car.q3d"},
        {"Models/car.q3d\n", "Models/car.q3d"},
        {"Models/car.q3d", "Models/car.q3d"}, // a last line without its end keeps every character
        {"Models/car .q3d \n", "Models/car .q3d "},
    };
    for (const auto& [line, path] : cases)
        EXPECT_EQ(VehicleModelPathFromLine(line), path) << line;
}

TEST(VehicleFileKeys, ARemoteClientReadsTheHostsCopy)
{
    EXPECT_EQ(VehicleFilePath("Vehicles/car.txt", true), "MultiTXT/Vehicles/car.txt");
    EXPECT_EQ(VehicleFilePath("Vehicles/car.txt", false), "Vehicles/car.txt");
}

} // namespace
