#include "tests/items/body/VehicleFixture.h"

#include <cmath>

#include "engine/core/q3DError.h"
#include "tests/support/ErrorText.h"

namespace {

float Speed(VehicleItem& car) { return car.GetVelocity().Length(); }

TEST_F(VehicleTest, LoadsTheModelAndHandsTheFileToThePhysics)
{
    auto car = MakeCar();
    EXPECT_STREQ(car->name, "Test Car");
    EXPECT_EQ(car->category, CarriedItem::Vehicle);
    EXPECT_EQ(car->wheelCount, 4);
    EXPECT_TRUE(car->GetModel().HasBodyParameters());
    EXPECT_NEAR(car->GetModel().GetWheelRadius(1), 1.5, 1e-4);
    EXPECT_GT(car->GetPhysicsStep(), 0.0f);
    EXPECT_LE(car->GetPhysicsStep(), VehicleItem::kMaxPhysicsStep);
    EXPECT_FLOAT_EQ(car->GetHalfWidth(), 3.0f);
    int steered = 0;
    for (const VehicleWheel& wheel : car->wheels)
        steered += wheel.steered;
    EXPECT_EQ(steered, 2);
}

// Every way a model or file is refused names its cause.
TEST_F(VehicleTest, BadModelsAndFilesAreRefusedWithTheirMessage)
{
    WriteCar("Models/three.q3d", 3);
    WriteCar("Models/six.q3d", 6);
    WriteCar("Models/twobodies.q3d", 3, 2);
    WriteCar("Models/nobody.q3d", 5, 0);
    WriteVehicleFile("Vehicles/three.txt", "", "Models/three.q3d");
    WriteVehicleFile("Vehicles/six.txt", "", "Models/six.q3d");
    WriteVehicleFile("Vehicles/twobodies.txt", "", "Models/twobodies.q3d");
    WriteVehicleFile("Vehicles/nobody.txt", "", "Models/nobody.q3d");
    WriteVehicleFile("Vehicles/heavy.txt", "CHASSIS_MASS -3\n");
    WriteVehicleFile("Vehicles/nameonly.txt", "");
    WriteFile("Vehicles/empty.txt", std::vector<std::uint8_t>{});
    const std::pair<const char*, const char*> cases[] = {
        {"Vehicles/missing.txt", "Can't open Vehicles/missing.txt"},
        {"Vehicles/three.txt", "Vehicle has more than 5 parts"},
        {"Vehicles/six.txt", "Vehicle has more than 5 parts"},
        {"Vehicles/twobodies.txt", "More than one body in vehicle"},
        {"Vehicles/nobody.txt", "More than four wheels in vehicle"},
        {"Vehicles/heavy.txt", "Vehicles/heavy.txt: line 3: CHASSIS_MASS"},
        {"Vehicles/empty.txt", "Vehicles/empty.txt: the vehicle file needs a name and a model path"},
    };
    const std::size_t before = VehicleItem::AllVehicles().size();
    for (const auto& [path, message] : cases) {
        try {
            MakeCar(path);
            ADD_FAILURE() << path << " loaded";
        } catch (const q3DError& e) {
            EXPECT_NE(std::string(e.GetText()).find(message), std::string::npos) << path << ": " << e.GetText();
        }
        EXPECT_EQ(VehicleItem::AllVehicles().size(), before) << path;
    }
}

// Wheels the model cannot hold (coincident wheels) are refused by the model, and the error names
// the file.
TEST_F(VehicleTest, BodyParametersTheModelRefusesNameTheFile)
{
    WriteVehicleFile("Vehicles/sunk.txt", "HEIGHT -900\nCHASSIS_MASS 0.000001\n");
    WriteVehicleFile("Vehicles/tiny.txt", "WHEEL_MASS 1e-9\nCHASSIS_MASS 1e9\n");
    for (const char* path : {"Vehicles/sunk.txt", "Vehicles/tiny.txt"}) {
        try {
            auto car = MakeCar(path);
            // A model that takes the parameters must at least give a usable step.
            EXPECT_GT(car->GetPhysicsStep(), 0.0f) << path;
        } catch (const q3DError& e) {
            EXPECT_NE(std::string(e.GetText()).find(path), std::string::npos) << e.GetText();
        }
    }
}

TEST_F(VehicleTest, AcceleratesToAPlausibleTopSpeedAndBrakesToAStop)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    EXPECT_LT(Speed(*car), 0.5f);
    EXPECT_NEAR(car->body->position.y, 2.2f, 0.5f); // resting on its wheels
    Drive(*car, 2.0f, true);
    const float early = Speed(*car);
    EXPECT_GT(early, 10.0f);
    Drive(*car, 12.0f, true);
    const float top = Speed(*car);
    EXPECT_GT(top, early);
    EXPECT_LT(top, 95.0f); // about the file's top speed, not beyond
    EXPECT_GT(car->body->position.z, 100.0f); // forward is the body's +z
    EXPECT_LT(std::fabs(car->body->position.x), 5.0f);
    Drive(*car, 6.0f, false, true);
    EXPECT_LT(Speed(*car), 2.0f);
    EXPECT_GT(car->body->rotation(1, 1), 0.95f); // still upright
}

TEST_F(VehicleTest, ReverseEngagesOnlyAfterStandingStill)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    Drive(*car, 3.0f, true);
    const float z = car->body->position.z;
    Drive(*car, 0.1f, false, true);
    EXPECT_FALSE(car->reversing);
    Drive(*car, 8.0f, false, true);
    EXPECT_TRUE(car->reversing);
    EXPECT_LT(car->body->position.z, z + 200.0f);
    EXPECT_LT(car->GetVelocity().Dot(car->GetForward()), 0.0f); // rolling backwards
}

TEST_F(VehicleTest, CornersWithoutSlidingAtModerateSpeed)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    Drive(*car, 1.5f, true);
    const float speed = Speed(*car);
    ASSERT_GT(speed, 10.0f);
    const Vector3 before = car->GetForward();
    Drive(*car, 2.0f, false, false, true);
    const Vector3 after = car->GetForward();
    // It turned, and its velocity follows its nose: no sideways slide.
    EXPECT_LT(before.Dot(after), 0.9f);
    Vector3 v = car->GetVelocity();
    v.y = 0.0f;
    if (v.Length() > 1.0f) {
        v.Normalize();
        EXPECT_GT(std::fabs(v.Dot(after)), 0.9f);
    }
    EXPECT_GT(car->body->rotation(1, 1), 0.9f);
}

TEST_F(VehicleTest, ClimbsAHill)
{
    // A ramp rising 1 in 6 from z = 40.
    ground.height = [](float, float z) { return z > 40.0f ? (z - 40.0f) / 6.0f : 0.0f; };
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    Drive(*car, 8.0f, true);
    EXPECT_GT(car->body->position.z, 120.0f);
    EXPECT_GT(car->body->position.y, 10.0f);
    EXPECT_GT(car->GetVelocity().y, 0.0f);
}

TEST_F(VehicleTest, DrownsInDeepWater)
{
    // The ground falls away into a lake at z = 60; water stands at 0 beyond x > -1000.
    ground.height = [](float, float z) { return z > 60.0f ? -(z - 60.0f) * 0.5f : 0.0f; };
    ground.waterFrom = -1000.0f;
    ground.waterLevel = 0.0f;
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    EXPECT_FALSE(car->IsDestroyed());
    Drive(*car, 10.0f, true);
    EXPECT_TRUE(car->IsDestroyed());
    EXPECT_TRUE(car->drowned);
    // A destroyed vehicle takes no throttle.
    const float z = car->body->position.z;
    Drive(*car, 3.0f, true);
    EXPECT_LT(car->body->position.z - z, 10.0f);
}

TEST_F(VehicleTest, BouncesOffAWall)
{
    ground.wall = true;
    ground.wallX = 60.0f;
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f, 1.5707963f); // facing +x
    Drive(*car, 6.0f, true);
    EXPECT_LT(car->body->position.x, 60.0f);
}

TEST_F(VehicleTest, SteeringReturnsLeftTwiceAsFastAsRight)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    car->controls.left = 1;
    car->VehicleItem::Update(0.1f);
    const double left = car->GetSteerAngle();
    EXPECT_GT(left, 0.0);
    car->controls.left = 0;
    car->VehicleItem::Update(0.05f);
    const double leftBack = left - car->GetSteerAngle();
    car->SetSteerAngle(-left);
    car->controls.right = 0;
    car->VehicleItem::Update(0.05f);
    const double rightBack = car->GetSteerAngle() + left;
    EXPECT_NEAR(leftBack, 2.0 * rightBack, 1e-4);
    car->controls.left = 1;
    car->VehicleItem::Update(0.1f);
    car->VehicleItem::Update(0.1f);
    car->VehicleItem::Update(0.1f);
    EXPECT_LE(car->GetSteerAngle(), car->maxSteerAngle + 1e-6);
}

TEST_F(VehicleTest, EngineVolumeStaysWithinRangeEvenForAZeroRange)
{
    WriteVehicleFile("Vehicles/quiet.txt", std::string(kCarKeys) + "ENGINE_VOLUME_RANGE 0 0\n");
    auto car = MakeCar("Vehicles/quiet.txt");
    struct Probe : PassengerVehicleItem {
        using PassengerVehicleItem::EngineVolume;
    };
    // The protected member reached through a pointer to it, never by casting the car to a type it
    // is not.
    const auto volumeOf = &Probe::EngineVolume;
    const auto engineVolume = [&](float k) { return ((*car).*volumeOf)(k); };
    for (float k : {0.0f, 0.5f, 1.0f})
        EXPECT_EQ(engineVolume(k), 0.0f) << k;
    car->engineVolumeRange[1] = 100.0f;
    car->engineVolumeRange[0] = 20.0f;
    EXPECT_FLOAT_EQ(engineVolume(0.0f), 0.2f);
    EXPECT_FLOAT_EQ(engineVolume(1.0f), 1.0f);
}

TEST_F(VehicleTest, ALongFrameIsClampedAndSubStepped)
{
    auto car = MakeCar();
    Place(*car, 0.0f, 0.0f);
    car->controls.forward = 1;
    car->VehicleItem::Update(5.0f); // counts as 0.1 s
    EXPECT_NEAR(car->timeSinceDraw, 1.0 + 0.1, 0.01);
    EXPECT_TRUE(std::isfinite(car->body->position.z));
    EXPECT_LT(Speed(*car), 20.0f);
}

} // namespace
