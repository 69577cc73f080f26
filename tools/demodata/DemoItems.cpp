// The items of the demo set: an ".idf" definition for every hand-held kind, with its world and held
// models (boxes and cylinders; guns carry a small "muzzle.tga" box at the end of the barrel and a
// reduced held model "_lod1"), icons, synthesised sounds and muzzle smoke, the third-person muzzle
// flash pictures, the bullet-hole decals, and the footstep sounds of the map's tiles.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/ParticleWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

constexpr int kRate = 22050;

// A noise burst with a decaying envelope over a low thump: shots, blasts and steps.
std::vector<std::int16_t> Burst(int milliseconds, double decay, double thump, double level, std::uint32_t seed)
{
    std::vector<std::int16_t> samples;
    const int length = kRate * milliseconds / 1000;
    std::uint32_t noise = seed;
    for (int i = 0; i < length; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double t = double(i) / kRate;
        const double envelope = std::exp(-t * decay);
        const double value = 0.6 * (double(noise >> 16) / 32768.0 - 1.0) +
                             0.4 * std::sin(2.0 * std::numbers::pi * thump * t);
        samples.push_back(std::int16_t(std::lround(level * envelope * value)));
    }
    return samples;
}

// Two short clicks: magazines, pins and bolts.
std::vector<std::int16_t> Clicks(double pitch)
{
    std::vector<std::int16_t> samples;
    for (int click = 0; click < 2; ++click) {
        for (int i = 0; i < kRate / 25; ++i) {
            const double t = double(i) / kRate;
            samples.push_back(std::int16_t(std::lround(12000.0 * std::exp(-t * 200.0) *
                                                       std::sin(2.0 * std::numbers::pi * pitch * t))));
        }
        samples.insert(samples.end(), kRate / 10, 0);
    }
    return samples;
}

void Wave(const DemoDataWriter& out, const std::string& path, const std::vector<std::int16_t>& samples)
{
    out.writeFile(path, WriteWave(samples, kRate, 1));
}

// Moves the triangles added since first by the offset.
void Shift(Q3dObject& object, std::size_t first, float x, float y, float z)
{
    for (std::size_t t = first; t < object.triangles.size(); ++t)
        for (Q3dVertex& v : object.triangles[t].vertices) {
            v.position[0] += x;
            v.position[1] += y;
            v.position[2] += z;
        }
}

void Box(Q3dObject& object, float hx, float hy, float hz, float x, float y, float z, std::uint32_t material,
         std::uint32_t colour)
{
    const std::size_t first = object.triangles.size();
    AddQ3dBox(object, hx, hy, hz, material, colour);
    Shift(object, first, x, y, z);
}

// What an item looks like: a gun of a barrel length (file units, a tenth of the world's), or one
// of the other shapes.
enum class Shape { Gun, Knife, Tube, Grenade, Binoculars, Kit, Case };

// Held models point along z. The model an item shows in the world stands on end instead (its z
// turned to y): a dropped item is laid down by a quarter turn about x, which brings it back flat.
enum class Pose { Held, World };

std::vector<std::uint8_t> Model(Shape shape, float length, std::uint32_t colour, bool withMuzzle, bool reduced,
                                Pose pose = Pose::Held)
{
    Q3dObject object;
    object.name = "item";
    Q3dMaterial body;
    body.texture0 = "metal.tga";
    object.materials.push_back(body);
    switch (shape) {
    case Shape::Gun:
        Box(object, 1.0f, 2.0f, length * 0.3f, 0, 0, 0, 0, colour);
        if (!reduced) {
            Box(object, 0.5f, 0.5f, length * 0.35f, 0, 1.2f, length * 0.6f, 0, colour);
            Box(object, 0.8f, 2.5f, 1.0f, 0, -3.0f, -length * 0.1f, 0, colour);
        }
        if (withMuzzle) {
            Q3dMaterial flash;
            flash.name = "Muzzle";
            flash.texture0 = "muzzle.tga";
            object.materials.push_back(flash);
            Box(object, 0.2f, 0.2f, 0.2f, 0, 1.2f, length * 0.95f, 1, 0xFFFFFFFFu);
        }
        break;
    case Shape::Knife:
        Box(object, 0.3f, 1.0f, 5.0f, 0, 0, 5.0f, 0, colour);
        Box(object, 0.6f, 1.2f, 3.0f, 0, 0, -3.0f, 0, 0xFF302010u);
        break;
    case Shape::Tube: {
        const std::size_t first = object.triangles.size();
        AddQ3dCylinder(object, 2.0f, 2.0f, length, reduced ? 6 : 12, 0, colour);
        // The cylinder stands on y; the tube lies along z.
        for (std::size_t t = first; t < object.triangles.size(); ++t)
            for (Q3dVertex& v : object.triangles[t].vertices) {
                const float y = v.position[1];
                v.position[1] = v.position[2];
                v.position[2] = y - length * 0.4f;
            }
        break;
    }
    case Shape::Grenade:
        AddQ3dCylinder(object, 1.5f, 1.5f, 4.0f, reduced ? 6 : 10, 0, colour);
        break;
    case Shape::Binoculars:
        Box(object, 1.2f, 1.2f, 2.5f, -1.5f, 0, 0, 0, colour);
        Box(object, 1.2f, 1.2f, 2.5f, 1.5f, 0, 0, 0, colour);
        break;
    case Shape::Kit:
        Box(object, 3.0f, 2.0f, 2.0f, 0, 0, 0, 0, colour);
        Box(object, 0.5f, 1.5f, 2.1f, 0, 0, 0, 0, 0xFFFFFFFFu);
        break;
    case Shape::Case:
        Box(object, 4.0f, 3.0f, 1.0f, 0, 0, 0, 0, colour);
        break;
    }
    if (pose == Pose::World)
        for (Q3dTriangle& triangle : object.triangles)
            for (Q3dVertex& v : triangle.vertices) {
                const float y = v.position[1];
                v.position[1] = v.position[2];
                v.position[2] = -y;
            }
    return WriteQ3dModel({object});
}

struct DemoItem {
    const char* name;
    const char* folder;
    const char* keyword;
    int kind;
    int restriction;
    const char* animationSet;
    Shape shape;
    float length;
    std::uint32_t colour;
    // The weapon block (empty for items that are not weapons) and the class's own lines.
    std::string weaponBlock;
    std::string classLines;
};

// The 25 lines of a weapon block.
std::string WeaponBlock(float aiAccuracy, float playerAccuracy, int capacity, int pellets, float spread, int maxMagazines,
                        float effectiveRange, float range, int noise, float interval, int burst, bool singleShot,
                        int skill, const std::string& held, float damage, float second, float rating,
                        const std::vector<std::string>& resources)
{
    auto f = [](float v) {
        std::string s = std::to_string(v);
        while (s.size() > 1 && s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
        return s;
    };
    std::string text = f(aiAccuracy) + ", AI accuracy\r\n" + f(playerAccuracy) + ", player accuracy\r\n" +
                       std::to_string(capacity) + ", magazine capacity\r\n" + std::to_string(pellets) +
                       ", bullets per shot\r\n" + f(spread) + ", spread\r\n" + std::to_string(maxMagazines) +
                       ", most magazines\r\n" + f(effectiveRange) + ", effective range\r\n" + f(range) +
                       ", range\r\n" + std::to_string(noise) + ", noise\r\n" + f(interval) + ", fire interval\r\n" +
                       std::to_string(burst) + ", burst\r\n" + (singleShot ? "1" : "0") + ", single shot or scope\r\n" +
                       std::to_string(skill) + ", skill\r\nBip01 R Hand\r\n" + held + "\r\n" + f(damage) +
                       ", damage\r\n" + f(second) + ", second damage value\r\n" + f(rating) + ", target rating\r\n";
    for (int i = 0; i < 7; ++i)
        text += (i < int(resources.size()) ? resources[std::size_t(i)] : std::string("-")) + "\r\n";
    return text;
}

} // namespace

void GenerateDemoItems(const DemoDataWriter& out)
{
    const std::string items = "GameData/Items/";
    const std::string fx = "GameData/fx/";

    // The third-person muzzle flash and the muzzle smoke every gun shares.
    TgaImage flashFront(32, 32, 0);
    TgaImage flashSide(32, 16, 0);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const float dx = (float(x) - 15.5f) / 16.0f, dy = (float(y) - 15.5f) / 16.0f;
            const float a = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
            flashFront.At(x, y) = std::uint32_t(a * 255.0f) << 24 | 0xFFE080u;
            if (y < 16) {
                const float s = std::max(0.0f, 1.0f - std::fabs(float(y) - 7.5f) / 8.0f) * (1.0f - float(x) / 32.0f);
                flashSide.At(x, y) = std::uint32_t(s * 255.0f) << 24 | 0xFFD060u;
            }
        }
    out.writeFile(fx + "Flash3rd-front.tga", WriteTga(flashFront, 32));
    out.writeFile(fx + "Flash3rd-side.tga", WriteTga(flashSide, 32));
    ParticleFileSettings smoke;
    smoke.texture = "smoke.tga";
    smoke.alphaBlend = true;
    smoke.emissionRate = 30.0f;
    smoke.sizeBase = 0.2f;
    smoke.sizeEnd = 0.8f;
    smoke.speedBase = 0.5f;
    smoke.speedSpread = 0.2f;
    smoke.lifetimeBase = 0.8f;
    smoke.gravityBase = smoke.gravityEnd = -0.002f;
    smoke.collide = false;
    out.writeFile(fx + "muzzleSmoke.par", WriteParticleFile(smoke));

    const std::vector<DemoItem> demo = {
        {"Knife", "Knife", "Melee", 1, 0, "Unarmed", Shape::Knife, 10, 0xFFB0B0B8u,
         WeaponBlock(1, 1, 0, 1, 0, 0, 5, 5, 50, 0.6f, 1, false, 0, "GameData/Items/Knife/held.q3d", 40, 80, 50,
                     {"-", "-", "GameData/Items/Knife/stab1.wav", "GameData/Items/Knife/stab2.wav",
                      "GameData/Items/Knife/stab3.wav", "-", "GameData/Items/Knife/draw.wav"}),
         ""},
        {"Pistol", "Pistol", "SingleShot", 1, 0, "Rifle", Shape::Gun, 8, 0xFF303030u,
         WeaponBlock(0.9f, 0.8f, 12, 1, 0.012f, 4, 60, 200, 300, 0.25f, 1, false, 0,
                     "GameData/Items/Pistol/held.q3d", 15, 30, 200,
                     {"GameData/fx/muzzleSmoke.par", "GameData/Items/Pistol/ammo.tga", "GameData/Items/Pistol/fire.wav",
                      "-", "GameData/Items/Pistol/reload.wav", "-", "GameData/Items/Pistol/draw.wav"}),
         "0\r\n0\r\n0\r\n"},
        {"M4", "M4", "SMG", 0, 0, "Rifle", Shape::Gun, 30, 0xFF202020u,
         WeaponBlock(0.8f, 0.9f, 30, 1, 0.008f, 6, 150, 400, 400, 0.1f, 3, true, 0, "GameData/Items/M4/held.q3d", 20,
                     35, 500,
                     {"GameData/fx/muzzleSmoke.par", "GameData/Items/M4/ammo.tga", "GameData/Items/M4/auto.wav",
                      "GameData/Items/M4/tail.wav", "GameData/Items/M4/reload.wav", "GameData/Items/M4/single.wav",
                      "GameData/Items/M4/draw.wav"}),
         ""},
        {"M4-M203", "M4-M203", "SMG-Gren", 0, 2, "Rifle", Shape::Gun, 32, 0xFF283020u,
         WeaponBlock(0.8f, 0.9f, 30, 1, 0.009f, 6, 150, 400, 400, 0.1f, 3, true, 0,
                     "GameData/Items/M4-M203/held.q3d", 20, 35, 550,
                     {"GameData/fx/muzzleSmoke.par", "GameData/Items/M4-M203/ammo.tga",
                      "GameData/Items/M4-M203/auto.wav", "GameData/Items/M4-M203/tail.wav",
                      "GameData/Items/M4-M203/reload.wav", "GameData/Items/M4-M203/single.wav",
                      "GameData/Items/M4-M203/draw.wav"}),
         ""},
        {"M249", "M249", "LMG", 0, 1, "Rifle", Shape::Gun, 36, 0xFF303828u,
         WeaponBlock(0.7f, 0.8f, 100, 1, 0.015f, 3, 180, 450, 500, 0.08f, -1, false, 0, "GameData/Items/M249/held.q3d",
                     22, 38, 600,
                     {"GameData/fx/muzzleSmoke.par", "GameData/Items/M249/ammo.tga", "GameData/Items/M249/auto.wav",
                      "GameData/Items/M249/tail.wav", "GameData/Items/M249/reload.wav", "-",
                      "GameData/Items/M249/draw.wav"}),
         ""},
        {"Sniper Rifle", "Sniper", "SingleShot", 0, 1, "Rifle", Shape::Gun, 40, 0xFF3A3020u,
         WeaponBlock(0.9f, 1.0f, 5, 1, 0.002f, 6, 400, 800, 600, 1.2f, 1, true, 6, "GameData/Items/Sniper/held.q3d",
                     60, 90, 700,
                     {"GameData/fx/muzzleSmoke.par", "GameData/Items/Sniper/ammo.tga", "GameData/Items/Sniper/fire.wav",
                      "GameData/Items/Sniper/scope.tga", "GameData/Items/Sniper/reload.wav",
                      "GameData/Items/Sniper/scopeup.wav", "GameData/Items/Sniper/draw.wav"}),
         "40, most zoom\r\n8, least zoom\r\n2, switchable night vision\r\n"},
        {"RPG", "RPG", "RPG", 0, 1, "Rifle", Shape::Tube, 30, 0xFF405030u,
         WeaponBlock(0.8f, 0.9f, 1, 1, 0.01f, 3, 300, 300, 800, 1.5f, 1, false, 5, "GameData/Items/RPG/held.q3d", 80,
                     120, 900,
                     {"GameData/Items/RPG/RPGBackSmoke.par", "GameData/Items/RPG/ammo.tga",
                      "GameData/Items/RPG/fire.wav"}),
         "GameData/Items/RPG/rocket.q3d\r\n0, rocket\r\n0\r\n0\r\n0\r\nN/A\r\nGameData/Items/RPG/crosshair.tga\r\n"},
        {"Frag Grenade", "Grenades", "Grenade", 2, 0, "Rifle", Shape::Grenade, 4, 0xFF304020u,
         WeaponBlock(1, 1, 1, 1, 0.01f, 4, 40, 60, 700, 1, 1, false, 4, "GameData/Items/Grenades/held.q3d", 150, 65, 0,
                     {"-", "GameData/Items/Grenades/ammo.tga", "GameData/Items/Grenades/throw.wav",
                      "GameData/Items/Grenades/pin.wav", "GameData/Items/Grenades/Grenade_Explosion.wav", "-",
                      "GameData/Items/Grenades/draw.wav"}),
         "GameData/Items/Grenades/world.q3d\r\nExplosiveGrenade\r\n"},
        {"Smoke Grenade", "grenade-smoke", "Grenade", 2, 0, "Rifle", Shape::Grenade, 4, 0xFF808080u,
         WeaponBlock(1, 1, 1, 1, 0.01f, 4, 40, 60, 200, 1, 1, false, 4, "GameData/Items/grenade-smoke/held.q3d", 0, 0,
                     0,
                     {"-", "GameData/Items/grenade-smoke/ammo.tga", "GameData/Items/Grenades/throw.wav",
                      "GameData/Items/Grenades/pin.wav", "GameData/Items/grenade-smoke/hiss.wav", "-",
                      "GameData/Items/Grenades/draw.wav"}),
         "GameData/Items/grenade-smoke/world.q3d\r\nSmokeGrenade\r\n"},
        {"Tear Gas", "grenade-teargas", "Grenade", 2, 2, "Rifle", Shape::Grenade, 4, 0xFF909040u,
         WeaponBlock(1, 1, 1, 1, 0.01f, 4, 40, 60, 200, 1, 1, false, 4, "GameData/Items/grenade-teargas/held.q3d", 0,
                     0, 0,
                     {"-", "GameData/Items/grenade-teargas/ammo.tga", "GameData/Items/Grenades/throw.wav",
                      "GameData/Items/Grenades/pin.wav", "GameData/Items/grenade-teargas/hiss.wav", "-",
                      "GameData/Items/Grenades/draw.wav"}),
         "GameData/Items/grenade-teargas/world.q3d\r\nTeargasGrenade\r\n"},
        {"Binoculars", "Binoculars", "Binoculars", 2, 0, "Unarmed", Shape::Binoculars, 5, 0xFF203020u, "",
         "GameData/Items/Binoculars/overlay.tga\r\n60, most zoom\r\n10, least zoom\r\n"},
        {"First Aid Kit", "FirstAid", "FirstAid", 2, 0, "Unarmed", Shape::Kit, 6, 0xFFC02020u, "",
         "40, heal amount\r\nGameData/Items/FirstAid/heal.wav\r\n"},
        {"Intel Documents", "Intel", "MissionItem", 4, 0, "Unarmed", Shape::Case, 8, 0xFF604020u, "", ""},
    };

    std::uint32_t seed = 1;
    for (const DemoItem& item : demo) {
        const std::string folder = items + item.folder + "/";
        const bool gun = item.shape == Shape::Gun;
        out.writeFile(folder + "metal.tga", WriteTga(TgaImage(8, 8, item.colour), 24));
        if (gun)
            out.writeFile(folder + "muzzle.tga", WriteTga(TgaImage(4, 4, 0xFFFFE080u), 24));
        out.writeFile(folder + "icon.tga", WriteTga(TgaImage(64, 32, item.colour | 0xFF000000u), 24));
        out.writeFile(folder + "ammo.tga", WriteTga(TgaImage(16, 16, 0xFFC0A040u), 24));
        out.writeFile(folder + "world.q3d", Model(item.shape, item.length, item.colour, false, false, Pose::World));
        out.writeFile(folder + "held.q3d", Model(item.shape, item.length, item.colour, gun, false));
        out.writeFile(folder + "held_lod1.q3d", Model(item.shape, item.length, item.colour, gun, true));
        // Sounds the definition names in this item's folder.
        for (const char* sound : {"fire", "auto", "tail", "single", "stab1", "stab2", "stab3", "heal", "hiss"}) {
            const std::string path = folder + sound + ".wav";
            if (item.weaponBlock.find(path) == std::string::npos && item.classLines.find(path) == std::string::npos)
                continue;
            const bool hiss = std::string(sound) == "hiss" || std::string(sound) == "heal";
            Wave(out, path, Burst(hiss ? 900 : std::string(sound) == "auto" ? 600 : 220, hiss ? 3.0 : 18.0,
                                  item.shape == Shape::Tube ? 60.0 : 140.0, hiss ? 5000.0 : 16000.0, seed++));
        }
        if (item.weaponBlock.find(folder + "reload.wav") != std::string::npos)
            Wave(out, folder + "reload.wav", Clicks(1800.0));
        if (item.weaponBlock.find(folder + "draw.wav") != std::string::npos)
            Wave(out, folder + "draw.wav", Clicks(1200.0));

        std::string text = std::string(item.name) + ", item name\r\n" + item.name + "\r\n" + folder +
                           "icon.tga\r\n" + (gun ? "3.5" : "1") + ", weight\r\n0.4, magazine weight\r\n" +
                           (item.weaponBlock.empty() ? "0" : item.keyword == std::string("Grenade") ? "3" : "4") +
                           ", magazines\r\n" + std::to_string(item.kind) + ", slot\r\n" +
                           std::to_string(item.restriction) + ", restriction\r\n" + item.keyword + "\r\n" +
                           item.animationSet + "\r\n@ killed # with the " + item.name + "\r\n@ killed teammate # with the " +
                           item.name + "\r\n@ killed himself with the " + item.name + "\r\n" + folder + "world.q3d\r\n";
        text += item.weaponBlock + item.classLines;
        out.writeText(items + item.folder + ".idf", text);
    }

    // Fixed files of the grenades and the launcher.
    const std::string grenades = items + "Grenades/";
    for (int i = 1; i <= 3; ++i)
        Wave(out, grenades + "bounce0" + std::to_string(i) + ".wav", Clicks(600.0 + 200.0 * i));
    Wave(out, grenades + "Grenade_Explosion.wav", Burst(1200, 4.0, 50.0, 26000.0, 77));
    Wave(out, grenades + "throw.wav", Burst(200, 20.0, 300.0, 6000.0, 78));
    Wave(out, grenades + "pin.wav", Clicks(2400.0));
    Wave(out, grenades + "draw.wav", Clicks(1000.0));
    const std::string rpg = items + "RPG/";
    Wave(out, rpg + "rocket_boom01.wav", Burst(1300, 3.5, 45.0, 27000.0, 80));
    Wave(out, rpg + "rocket_boom02.wav", Burst(1300, 3.0, 40.0, 27000.0, 81));
    Wave(out, rpg + "rocket_fly.wav", Burst(1000, 0.5, 90.0, 7000.0, 82));
    out.writeFile(rpg + "rocket.q3d", Model(Shape::Tube, 10, 0xFF505040u, false, false));
    TgaImage cross(64, 64, 0);
    for (int i = 0; i < 64; ++i)
        cross.At(i, 32) = cross.At(32, i) = 0xFF40FF40u;
    out.writeFile(rpg + "crosshair.tga", WriteTga(cross, 32));
    TgaImage scope(256, 256, 0xFF000000u);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const float dx = float(x) - 127.5f, dy = float(y) - 127.5f;
            if (dx * dx + dy * dy < 120.0f * 120.0f)
                scope.At(x, y) = (x == 128 || y == 128) ? 0xFF000000u : 0x00000000u;
        }
    out.writeFile(items + "Sniper/scope.tga", WriteTga(scope, 32));

    // The marks bullets leave: a dark hole in the ground and a grey one on walls and objects.
    auto hole = [](std::uint32_t colour) {
        TgaImage image(16, 16, 0);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const float dx = (float(x) - 7.5f) / 8.0f, dy = (float(y) - 7.5f) / 8.0f;
                const float a = std::clamp(1.5f * (1.0f - std::sqrt(dx * dx + dy * dy)), 0.0f, 1.0f);
                image.At(x, y) = std::uint32_t(a * 255.0f) << 24 | (colour & 0xFFFFFFu);
            }
        return WriteTga(image, 32);
    };
    out.writeFile(fx + "BLDT_01.tga", hole(0x302418u));
    out.writeFile(fx + "bullethit.tga", hole(0x404040u));
    out.writeFile(items + "Binoculars/overlay.tga", WriteTga(scope, 32));
    Wave(out, items + "Sniper/scopeup.wav", Clicks(900.0));
}
