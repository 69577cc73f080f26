// The demo set's car: its vehicle file, its model (a body and four parts named "wheel") and the
// "-alt" body shown while seats stand empty, the armour and tyre-track pictures, synthesised engine,
// tyre, brake, door and crash sounds, and an empty car on the demo map near the start.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

constexpr int kRate = 22050;
// The empty car stands beside the loose rifle near the start, facing north like the squad.
constexpr float kCarX = 40.0f;
constexpr float kCarZ = 10.0f;

// A body and four wheels in file units (the game loads vehicles at a tenth of their size): 12 wide,
// 4.8 tall and 28 long, on wheels of radius 3, beside soldiers about 11 tall; roofless when open.
std::vector<Q3dObject> CarModel(std::uint32_t colour, bool open)
{
    std::vector<Q3dObject> objects;
    Q3dObject body;
    body.name = "Body";
    body.materials.push_back(Q3dMaterial{});
    AddQ3dBox(body, 60.0f, 24.0f, 140.0f, 0, colour);
    if (!open) {
        Q3dObject cabin;
        AddQ3dBox(cabin, 52.0f, 16.0f, 56.0f, 0, 0xFF8090A0u);
        for (Q3dTriangle triangle : cabin.triangles) {
            for (Q3dVertex& vertex : triangle.vertices) {
                vertex.position[1] += 40.0f;
                vertex.position[2] -= 16.0f;
            }
            body.triangles.push_back(triangle);
        }
    }
    objects.push_back(body);
    const float at[4][2] = {{-56, 90}, {-56, -90}, {56, -90}, {56, 90}};
    for (int i = 0; i < 4; ++i) {
        Q3dObject wheel;
        wheel.name = "wheel" + std::to_string(i + 1);
        wheel.materials.push_back(Q3dMaterial{});
        AddQ3dBox(wheel, 8.0f, 30.0f, 30.0f, 0, 0xFF202020u);
        wheel.position[0] = at[i][0];
        wheel.position[1] = -24.0f;
        wheel.position[2] = at[i][1];
        objects.push_back(wheel);
    }
    return objects;
}

// The placeholder standing on the map: the same car at full map scale, one object.
Q3dObject CarPlaceholder(std::uint32_t colour)
{
    Q3dObject car;
    car.name = "Car";
    car.materials.push_back(Q3dMaterial{});
    AddQ3dBox(car, 6.0f, 2.4f, 14.0f, 0, colour);
    for (Q3dTriangle& triangle : car.triangles)
        for (Q3dVertex& vertex : triangle.vertices)
            vertex.position[1] += 3.0f;
    return car;
}

// A motor's hum: a fundamental and its harmonics with a little roughness, a seamless loop.
std::vector<std::int16_t> Engine(double frequency, double level)
{
    const int length = kRate; // one second; every partial completes whole cycles
    std::vector<std::int16_t> samples(std::size_t(length), 0);
    const double f = std::round(frequency);
    for (int i = 0; i < length; ++i) {
        const double t = double(i) / kRate;
        const double w = 2.0 * std::numbers::pi * f * t;
        const double value = 0.5 * std::sin(w) + 0.25 * std::sin(2 * w) + 0.15 * std::sin(3 * w) + 0.1 * std::sin(5 * w);
        samples[std::size_t(i)] = std::int16_t(std::lround(level * value * 32000.0));
    }
    return samples;
}

std::vector<std::int16_t> Noise(int milliseconds, double decay, double level, std::uint32_t seed)
{
    std::vector<std::int16_t> samples;
    std::uint32_t state = seed;
    const int length = kRate * milliseconds / 1000;
    for (int i = 0; i < length; ++i) {
        state = state * 1664525u + 1013904223u;
        const double t = double(i) / kRate;
        const double value = double(state >> 16) / 32768.0 - 1.0;
        samples.push_back(std::int16_t(std::lround(level * std::exp(-t * decay) * value * 32000.0)));
    }
    return samples;
}

TgaImage ArmourIcon()
{
    TgaImage image(32, 32, 0x00000000u);
    for (int y = 4; y < 28; ++y)
        for (int x = 4; x < 28; ++x)
            image.pixels[std::size_t(y * 32 + x)] = (y < 14 && (x < 8 || x > 23)) ? 0u : 0xFFD0D0D0u;
    return image;
}

TgaImage TyreTrack()
{
    TgaImage image(16, 16, 0x00000000u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.pixels[std::size_t(y * 16 + x)] = (y % 4 < 2) ? 0xB0202020u : 0x60202020u;
    return image;
}

} // namespace

void AddDemoVehicleObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z))
{
    const std::string folder = "GameData/Vehicles/";
    const std::string sounds = folder + "Sounds/";
    out.writeFile(folder + "car.q3d", WriteQ3dModel(CarModel(0xFF3050A0u, false)));
    out.writeFile(folder + "car-alt.q3d", WriteQ3dModel({CarModel(0xFF3050A0u, true)[0]}));
    out.writeFile("GameData/Interface/cararmor.tga", WriteTga(ArmourIcon(), 32));
    out.writeFile("GameData/fx/tiretrack.tga", WriteTga(TyreTrack(), 32));
    out.writeFile(sounds + "engine.wav", WriteWave(Engine(60.0, 0.5), kRate, 1));
    out.writeFile(sounds + "idle.wav", WriteWave(Engine(30.0, 0.35), kRate, 1));
    out.writeFile(sounds + "skid.wav", WriteWave(Noise(1000, 0.0, 0.25, 7u), kRate, 1));
    out.writeFile(sounds + "brake.wav", WriteWave(Noise(400, 6.0, 0.4, 11u), kRate, 1));
    out.writeFile(sounds + "door.wav", WriteWave(Noise(150, 30.0, 0.6, 13u), kRate, 1));
    out.writeFile(sounds + "crash.wav", WriteWave(Noise(600, 8.0, 0.9, 17u), kRate, 1));
    out.writeFile(sounds + "gear.wav", WriteWave(Noise(100, 40.0, 0.4, 19u), kRate, 1));
    out.writeText(folder + "car.txt",
                  "Demo Car\n"
                  "GameData/Vehicles/car.q3d\n"
                  "CHASSIS_MASS 3000\n"
                  "HEIGHT 2.4\n"
                  "WHEEL_MASS 40\n"
                  "MAX_FORWARD_SPEED 90\n"
                  "ENGINE_POWER 2400000\n"
                  "BRAKING_TORQUE 60000\n"
                  "MAX_PASSENGERS 4\n"
                  "FIRST_PERSON_CAM_OFFSET -1 3 1\n"
                  "THIRD_PERSON_CAM_DIST 30\n"
                  "BODY_ARMOR 1500\n"
                  "TROOP_PROTECTION 40\n"
                  "ENGINE_DRIVE_SOUND GameData/Vehicles/Sounds/engine.wav\n"
                  "ENGINE_IDLE_SOUND GameData/Vehicles/Sounds/idle.wav\n"
                  "SKID_SOUND GameData/Vehicles/Sounds/skid.wav\n"
                  "BRAKE_SOUND GameData/Vehicles/Sounds/brake.wav\n"
                  "ENTER_SOUND GameData/Vehicles/Sounds/door.wav\n"
                  "EXIT_SOUND GameData/Vehicles/Sounds/door.wav\n"
                  "COLLISION_SOUNDS GameData/Vehicles/Sounds/crash.wav GameData/Vehicles/Sounds/crash.wav\n"
                  "GEAR_1_SOUND GameData/Vehicles/Sounds/gear.wav\n"
                  "GEAR_2_SOUND GameData/Vehicles/Sounds/gear.wav\n"
                  "EXHAUST_PARTICLE_SYSTEM gamedata/fx/tireSmoke.par\n"
                  "EXHAUST_OFFSET 2 -1.5 -7\n"
                  "DAMAGE_SMOKE gamedata/fx/fireSmoke.par\n"
                  "DAMAGE_SMOKE_OFFSET 0 0.5 4\n");

    out.writeFile(map.objectDirectory + "democar.q3d", WriteQ3dModel({CarPlaceholder(0xFF3050A0u)}));
    const int car = int(map.entries.size());
    map.entries.push_back({"democar.q3d", "DemoCar", {"vehicle GameData/Vehicles/car.txt", "", "", "", ""}, 1, 0});
    MapFilePlacement placement;
    placement.position[0] = kCarX;
    placement.position[1] = groundHeight(kCarX, kCarZ);
    placement.position[2] = kCarZ;
    placement.library = car;
    map.placements.push_back(placement);
}
