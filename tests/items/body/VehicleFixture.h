#pragma once

// Vehicles on a ground the test shapes: a small car model and vehicle file written by the test
// (a body box and four box wheels, tenth-size after loading), and vehicle services that answer
// from a height function, a water line and an optional wall, so that a car can be driven headless
// without a map.

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "items/vehicles/PassengerVehicleItem.h"
#include "items/vehicles/VehicleServices.h"
#include "tests/items/body/ItemFixture.h"

class GroundServices : public VehicleServices {
public:
    std::function<float(float x, float z)> height = [](float, float) { return 0.0f; };
    // Water covers x above waterFrom at waterLevel.
    float waterFrom = 1e30f;
    float waterLevel = 0.0f;
    // A wall on the plane x = wallX facing -x, when set.
    bool wall = false;
    float wallX = 0.0f;
    bool host = false;
    bool remoteClient = false;
    int destroyedMessages = 0;
    std::string lastMessage;
    SceneNode root;

    bool GroundBelow(const Vector3& point, float& h, Vector3& normal) override
    {
        h = height(point.x, point.z);
        const float e = 0.05f;
        const float dx = (height(point.x + e, point.z) - height(point.x - e, point.z)) / (2 * e);
        const float dz = (height(point.x, point.z + e) - height(point.x, point.z - e)) / (2 * e);
        normal = Vector3(-dx, 1.0f, -dz);
        normal.Normalize();
        return h <= point.y;
    }
    bool GroundIsStructure(const Vector3&) override { return false; }
    bool WaterHeight(const Vector3& point, float& h) override
    {
        h = waterLevel;
        return point.x > waterFrom;
    }
    bool CollideEllipsoid(const Vector3& centre, const Vector3& radii, Vector3& push, Vector3& normal) override
    {
        if (!wall || centre.x + radii.x <= wallX)
            return false;
        push = Vector3(wallX - (centre.x + radii.x), 0.0f, 0.0f);
        normal = Vector3(-1.0f, 0.0f, 0.0f);
        return true;
    }
    bool Pick(const Vector3&, const Vector3&, float reach, float& distance) override
    {
        distance = reach * 0.5f;
        return wallsBothSides;
    }
    SceneNode* SceneRoot() override { return &root; }
    void AddParticleEffect(qParticle*) override {}
    void RemoveParticleEffect(qParticle*) override {}
    bool IsHost() override { return host; }
    bool IsRemoteClient() override { return remoteClient; }
    void SendVehicleDestroyed(std::uint16_t) override { ++destroyedMessages; }
    Character* LocalPlayer() override { return nullptr; }
    void ShowMessage(const char* text, int) override { lastMessage = text; }
    MapObject* FindVehicleObject(int) override { return nullptr; }
    int VehiclePropID(MapObject*) override { return -1; }
    float WorldHalfExtent() override { return 10000.0f; }
    Character* SquadMember(Character* leader, int index) override
    {
        return leader == squadLeader && index >= 0 && index < int(squad.size()) ? squad[std::size_t(index)] : nullptr;
    }
    const char* KeyAction(int key) override { return key == 'e' ? "Use Item in World" : key == 'm' ? "Show Map" : nullptr; }
    bool IsActionDown(const char*) override { return false; }
    void PlaceCamera(const Vector3& position, const Vector3&) override { camera = position; }
    Vector3 CameraPosition() override { return camera; }
    // Walls beside the vehicle: a pick towards -x or +x within reach hits.
    bool wallsBothSides = false;
    Character* squadLeader = nullptr;
    std::vector<Character*> squad;
    Vector3 camera;
};

class VehicleTest : public ItemTest {
protected:
    void SetUp() override
    {
        ItemTest::SetUp();
        WriteCar("Models/car.q3d", 4);
        WriteVehicleFile("Vehicles/car.txt", kCarKeys);
    }

    // A car 6 wide, 2.4 tall and 14 long with wheels of radius 1.5; parts named "wheel" count.
    static void WriteCar(const std::string& path, int wheelCount, int bodies = 1)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::vector<Q3dObject> objects;
        for (int b = 0; b < bodies; ++b) {
            Q3dObject body;
            body.name = "Body";
            body.materials.push_back(Q3dMaterial{});
            AddQ3dBox(body, 30.0f, 12.0f, 70.0f, 0, 0xFF3050A0u);
            objects.push_back(body);
        }
        const float at[4][2] = {{-28, 45}, {-28, -45}, {28, -45}, {28, 45}};
        for (int i = 0; i < wheelCount; ++i) {
            Q3dObject wheel;
            wheel.name = "wheel" + std::to_string(i);
            wheel.materials.push_back(Q3dMaterial{});
            AddQ3dBox(wheel, 4.0f, 15.0f, 15.0f, 0, 0xFF202020u);
            wheel.position[0] = at[i % 4][0];
            wheel.position[1] = -12.0f;
            wheel.position[2] = at[i % 4][1];
            objects.push_back(wheel);
        }
        WriteFile(path, WriteQ3dModel(objects));
    }

    static void WriteVehicleFile(const std::string& path, const std::string& keys,
                                 const std::string& model = "Models/car.q3d")
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        const std::string text = "Test Car\n" + model + "\n" + keys;
        WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    std::unique_ptr<PassengerVehicleItem> MakeCar(const char* path = "Vehicles/car.txt")
    {
        auto car = std::make_unique<PassengerVehicleItem>(ground, path);
        return car;
    }

    // Puts the car on the ground at x, z facing +z (or the given yaw) and lets it settle.
    void Place(VehicleItem& car, float x, float z, float yaw = 0.0f)
    {
        car.body->position = Vector3(x, ground.height(x, z) + 3.0f, z);
        car.body->rotation.FromAxisAngle(yaw, Vector3(0.0f, 1.0f, 0.0f));
        car.Select();
        for (int i = 0; i < 60; ++i)
            car.VehicleItem::Update(1.0f / 60.0f); // the bare simulation, with or without a driver
    }

    void Drive(VehicleItem& car, float seconds, bool forward, bool backward = false, bool left = false)
    {
        const int frames = static_cast<int>(seconds * 60.0f);
        for (int i = 0; i < frames; ++i) {
            car.controls.forward = forward;
            car.controls.backward = backward;
            car.controls.left = left;
            car.VehicleItem::Update(1.0f / 60.0f); // the bare simulation, with or without a driver
        }
    }

    static constexpr const char* kCarKeys =
        "CHASSIS_MASS 1500\n"
        "HEIGHT 1.2\n"
        "WHEEL_MASS 40\n"
        "MAX_FORWARD_SPEED 90\n"
        "ENGINE_POWER 900000\n"
        "BRAKING_TORQUE 20000\n"
        "MAX_PASSENGERS 4\n";

    GroundServices ground;
};
