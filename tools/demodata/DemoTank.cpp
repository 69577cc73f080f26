// The demo set's mounted guided launcher: its definition, its three-part model (body, "turret",
// "barrel"), its fire sound, crosshair and icons, and one launcher standing near the squad's start;
// and the demo tank: its vehicle file, body with four wheels, turret and gun models, and one tank
// standing east of the start.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

constexpr int kLauncherRate = 22050;
const std::string kLauncherFolder = "GameData/Items/Truck_Launcher/";
// On the ground straight ahead of the start, in the squad's first view.
constexpr float kLauncherAt[2] = {0.0f, 30.0f};
constexpr float kTankAt[2] = {40.0f, 30.0f};

// One named part of the model: a box of half extents (file units) at an offset from the part's
// own origin, which the part's position places.
Q3dObject Part(const char* name, float x, float y, float z, bool painted = true)
{
    Q3dObject part;
    part.name = name;
    part.position[0] = x;
    part.position[1] = y;
    part.position[2] = z;
    // The launcher's parts carry its paint texture; the tank's, in folders of their own, only colour.
    Q3dMaterial paint;
    if (painted)
        paint.texture0 = "paint.tga";
    part.materials.push_back(paint);
    return part;
}

void AddBlock(Q3dObject& part, float hx, float hy, float hz, float ox, float oy, float oz, std::uint32_t colour)
{
    const std::size_t first = part.triangles.size();
    AddQ3dBox(part, hx, hy, hz, 0, colour);
    for (std::size_t t = first; t < part.triangles.size(); ++t)
        for (Q3dVertex& corner : part.triangles[t].vertices) {
            corner.position[0] += ox;
            corner.position[1] += oy;
            corner.position[2] += oz;
        }
}

// A launch: a rising hiss over a falling rumble, two thirds of a second.
std::vector<std::int16_t> LaunchSound()
{
    const int length = kLauncherRate * 2 / 3;
    std::vector<std::int16_t> samples(std::size_t(length), 0);
    std::uint32_t state = 2024u;
    for (int i = 0; i < length; ++i) {
        state = state * 22695477u + 1u;
        const double t = double(i) / kLauncherRate;
        const double hiss = (double(state >> 16 & 0x7FFF) / 16384.0 - 1.0) * std::exp(-t * 4.0);
        const double rumble = std::sin(6.283185307 * (70.0 - 40.0 * t) * t) * std::exp(-t * 6.0);
        samples[std::size_t(i)] = std::int16_t(std::lround(14000.0 * hiss + 12000.0 * rumble));
    }
    return samples;
}

std::string LauncherDefinition()
{
    const std::string f = kLauncherFolder;
    return "Truck Launcher, item name\r\nMounted Launcher\r\n" + f + "icon.tga\r\n0, weight\r\n0, magazine weight\r\n"
           "0, magazines\r\n2, slot\r\n3, restriction\r\nMounted Launcher\r\nRifle\r\n"
           "@ killed # with the mounted launcher\r\n@ killed teammate # with the mounted launcher\r\n"
           "@ killed himself with the mounted launcher\r\n" + f + "truck_weapon.q3d\r\n"
           // The weapon block: accuracies, 20 rockets, no spare magazines, ranges, noise, 4 s
           // between shots, skill 5, the carrying bone and model, damage 300 to 500, rating.
           "0.9, AI accuracy\r\n0.9, player accuracy\r\n20, magazine capacity\r\n1, bullets per shot\r\n"
           "0.005, spread\r\n0, most magazines\r\n400, effective range\r\n400, range\r\n900, noise\r\n"
           "4, fire interval\r\n1, burst\r\n0, single shot or scope\r\n5, skill\r\nBip01 R Hand\r\n" + f +
           "truck_weapon.q3d\r\n300, damage\r\n500, second damage value\r\n1000, target rating\r\n"
           "-\r\n" + f + "ammo.tga\r\n-\r\n-\r\n-\r\n-\r\n-\r\n";
}

// The tank's body and four wheels (file units, a tenth of the world's): a hull 8 wide, 3 tall and
// 14 long on wheels of radius 1.5.
std::vector<Q3dObject> TankHull()
{
    Q3dObject hull = Part("Body", 0, 0, 0, false);
    AddBlock(hull, 40.0f, 15.0f, 70.0f, 0, 0, 0, 0xFF4A5A3Au);
    std::vector<Q3dObject> parts = {hull};
    const float at[4][2] = {{-34, 45}, {-34, -45}, {34, -45}, {34, 45}};
    for (int i = 0; i < 4; ++i) {
        Q3dObject wheel = Part(("wheel" + std::to_string(i)).c_str(), at[i][0], -15.0f, at[i][1], false);
        AddBlock(wheel, 6.0f, 15.0f, 15.0f, 0, 0, 0, 0xFF202020u);
        parts.push_back(wheel);
    }
    return parts;
}

std::string TankFile()
{
    return "Demo Tank\n"
           "GameData/Vehicles/tank.q3d\n"
           "CHASSIS_MASS 6000\n"
           "HEIGHT 1.5\n"
           "WHEEL_MASS 200\n"
           "MAX_FORWARD_SPEED 50\n"
           "ENGINE_POWER 2400000\n"
           "BRAKING_TORQUE 80000\n"
           "MAX_PASSENGERS 1\n"
           "FIRST_PERSON_CAM_OFFSET 0 4 2\n"
           "THIRD_PERSON_CAM_DIST 35\n"
           "BODY_ARMOR 5000\n"
           "TROOP_PROTECTION 90\n"
           "ENGINE_DRIVE_SOUND GameData/Vehicles/Sounds/engine.wav\n"
           "ENGINE_IDLE_SOUND GameData/Vehicles/Sounds/idle.wav\n"
           "ENTER_SOUND GameData/Vehicles/Sounds/door.wav\n"
           "EXIT_SOUND GameData/Vehicles/Sounds/door.wav\n";
}

} // namespace

void AddDemoTankObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z))
{
    const std::string& f = kLauncherFolder;
    // Body: a plinth the gunner stands on with a post; the turret turns on the post; the barrel
    // points along z from the turret's top, the gunner behind and below its breech.
    Q3dObject body = Part("body", 0, 0, 0);
    AddBlock(body, 30.0f, 22.5f, 40.0f, 0, 22.5f, 0, 0xFF4A5A3Au);
    AddBlock(body, 4.0f, 25.0f, 4.0f, 0, 70.0f, 15.0f, 0xFF3A4A2Au);
    Q3dObject turret = Part("turret", 0, 100, 15);
    AddBlock(turret, 10.0f, 6.0f, 10.0f, 0, 0, 0, 0xFF404840u);
    Q3dObject barrel = Part("barrel", 0, 116, 15);
    AddBlock(barrel, 5.0f, 5.0f, 32.0f, 0, 0, 12.0f, 0xFF303830u);
    out.writeFile(f + "truck_weapon.q3d", WriteQ3dModel({body, turret, barrel}));
    out.writeFile(f + "paint.tga", WriteTga(TgaImage(8, 8, 0xFF4A5A3Au), 24));
    out.writeFile(f + "icon.tga", WriteTga(TgaImage(64, 32, 0xFF4A5A3Au), 24));
    out.writeFile(f + "ammo.tga", WriteTga(TgaImage(16, 16, 0xFFC08030u), 24));
    TgaImage ring(64, 64, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float r = std::hypot(float(x) - 31.5f, float(y) - 31.5f);
            if (std::fabs(r - 24.0f) < 1.2f || ((x == 31 || y == 31) && r < 12.0f))
                ring.At(x, y) = 0xFFFF6040u;
        }
    out.writeFile(f + "Crosshair.tga", WriteTga(ring, 32));
    out.writeFile(f + "fire.wav", WriteWave(LaunchSound(), kLauncherRate, 1));
    out.writeText("GameData/Items/Truck_Launcher.idf", LauncherDefinition());

    const int launcher = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "MountedLauncher", {"item Truck Launcher", "", "", "", ""}, 1, 0});
    MapFilePlacement standing;
    standing.position[0] = kLauncherAt[0];
    standing.position[1] = groundHeight(kLauncherAt[0], kLauncherAt[1]);
    standing.position[2] = kLauncherAt[1];
    standing.library = launcher;
    map.placements.push_back(standing);

    out.writeFile("GameData/Vehicles/tank.q3d", WriteQ3dModel(TankHull()));
    Q3dObject tankTurret = Part("Turret", 0, 25, -5, false);
    AddBlock(tankTurret, 25.0f, 10.0f, 30.0f, 0, 0, 0, 0xFF404A38u);
    out.writeFile("GameData/Vehicles/tank-turret.q3d", WriteQ3dModel({tankTurret}));
    Q3dObject tankGun = Part("Gun", 0, 5, 30, false);
    AddBlock(tankGun, 3.0f, 3.0f, 40.0f, 0, 0, 35.0f, 0xFF303830u);
    out.writeFile("GameData/Vehicles/tank-gun.q3d", WriteQ3dModel({tankGun}));
    out.writeText("GameData/Vehicles/tank.txt", TankFile());
    out.writeFile(map.objectDirectory + "demotank.q3d", WriteQ3dModel({TankHull()[0]}));
    const int tank = int(map.entries.size());
    map.entries.push_back({"demotank.q3d", "DemoTank", {"tank GameData/Vehicles/tank.txt", "", "", "", ""}, 1, 0});
    MapFilePlacement parked;
    parked.position[0] = kTankAt[0];
    parked.position[1] = groundHeight(kTankAt[0], kTankAt[1]) + 3.0f;
    parked.position[2] = kTankAt[1];
    parked.library = tank;
    map.placements.push_back(parked);
}
