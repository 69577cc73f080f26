// The airstrike radio and what it calls in, and the demo map's destroyable fuel tank with its
// wreck and an airstrike zone beside it.
#include <algorithm>
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

constexpr int kSoundRate = 22050;
const std::string kRadio = "GameData/Items/Radio/";

// The fuel tank stands west of the start, off the squad's first paths; the zone marker by it.
constexpr float kTankX = -70.0f, kTankZ = 40.0f;
constexpr float kZoneX = -90.0f, kZoneZ = 60.0f;

// Noise through a low-pass filter under an envelope that rises in attack seconds and decays with
// the rate: bursts, rumbles and radio hiss by their settings.
std::vector<std::int16_t> Noise(float seconds, float attack, float decay, float smoothing, float loudness,
                                std::uint32_t seed)
{
    std::vector<std::int16_t> samples(std::size_t(seconds * float(kSoundRate)), 0);
    float low = 0.0f;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = float(seed >> 9) / float(1u << 23) * 2.0f - 1.0f;
        low += (noise - low) * smoothing;
        const float t = float(i) / float(kSoundRate);
        const float envelope = std::min(1.0f, t / attack) * std::exp(-decay * t);
        samples[i] = std::int16_t(std::clamp(low * envelope * loudness, -1.0f, 1.0f) * 30000.0f);
    }
    return samples;
}

// Two short beeps, a radio's call sign.
std::vector<std::int16_t> Beeps(float frequency)
{
    std::vector<std::int16_t> samples(std::size_t(kSoundRate * 6 / 10), 0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const float t = float(i) / float(kSoundRate);
        const bool on = t < 0.2f || (t > 0.3f && t < 0.5f);
        samples[i] = on ? std::int16_t(0.3f * std::sin(6.2831853f * frequency * t) * 30000.0f) : 0;
    }
    return samples;
}

void Wave(const DemoDataWriter& out, const std::string& path, const std::vector<std::int16_t>& samples)
{
    out.writeFile(path, WriteWave(samples, kSoundRate, 1));
}

Q3dObject Solid(const char* name, const char* texture)
{
    Q3dObject object;
    object.name = name;
    Q3dMaterial material;
    material.texture0 = texture;
    object.materials.push_back(material);
    return object;
}

void Shift(Q3dObject& object, float x, float y, float z, std::size_t from)
{
    for (std::size_t i = from; i < object.triangles.size(); ++i)
        for (Q3dVertex& v : object.triangles[i].vertices) {
            v.position[0] += x;
            v.position[1] += y;
            v.position[2] += z;
        }
}

// Models are read at a tenth of their size: the bomber spans 30 units, the marker stands 4.
std::vector<std::uint8_t> Bomber()
{
    Q3dObject plane = Solid("bomber", "bomber.tga");
    AddQ3dBox(plane, 12.0f, 12.0f, 90.0f, 0);  // fuselage along z, the flight direction
    std::size_t at = plane.triangles.size();
    AddQ3dBox(plane, 150.0f, 3.0f, 20.0f, 0);  // wings
    Shift(plane, 0.0f, 0.0f, 10.0f, at);
    at = plane.triangles.size();
    AddQ3dBox(plane, 50.0f, 2.0f, 10.0f, 0);   // tail plane
    Shift(plane, 0.0f, 0.0f, -80.0f, at);
    return WriteQ3dModel({plane});
}

std::vector<std::uint8_t> Marker()
{
    Q3dObject marker = Solid("marker", "marker.tga");
    AddQ3dCylinder(marker, 1.5f, 1.5f, 40.0f, 6, 0);
    const std::size_t at = marker.triangles.size();
    AddQ3dBox(marker, 10.0f, 6.0f, 1.0f, 0); // the flag
    Shift(marker, 10.0f, 32.0f, 0.0f, at);
    return WriteQ3dModel({marker});
}

std::vector<std::uint8_t> Handset(bool held)
{
    Q3dObject radio = Solid("radio", "radio.tga");
    AddQ3dBox(radio, 3.0f, held ? 6.0f : 2.0f, held ? 2.0f : 6.0f, 0);
    return WriteQ3dModel({radio});
}

std::string RadioDefinition()
{
    std::string text = "Air Strike Radio, item name\r\nAir Strike Radio\r\n" + kRadio +
                       "icon.tga\r\n1, weight\r\n0, unit weight\r\n2, airstrikes\r\n2, slot\r\n0, restriction\r\n"
                       "AirStrikeRadio\r\nUnarmed\r\n@ bombed #\r\n@ bombed teammate #\r\n@ bombed himself\r\n" +
                       kRadio + "world.q3d\r\n";
    const std::vector<std::string> lines = {
        "Bip01 R Hand", kRadio + "held.q3d", kRadio + "radio.wav", kRadio + "chatter.wav", kRadio + "refusal.wav",
        "2, explosion variants", kRadio + "boom1.wav", kRadio + "boom2.wav", "GameData/fx/exp/small-ex_01.par",
        "GameData/fx/GroundExp/GroundExp.par", kRadio + "bomber.q3d", "1, bomber scale", kRadio + "flight.wav",
        kRadio + "marker.q3d", "1, marker scale", "4, approach delay", "120, flight height",
        "8, flight duration", "400, damage", "60, blast radius", "150, aim distance", "NAPALM", "5, bombs",
        "0.1, bomb interval", "3, campaign airstrikes"};
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

MapFilePlacement Standing(float (*groundHeight)(float x, float z), float x, float z, int library)
{
    MapFilePlacement placement;
    placement.position[0] = x;
    placement.position[1] = groundHeight(x, z);
    placement.position[2] = z;
    placement.library = library;
    return placement;
}

} // namespace

void AddDemoAirstrikeObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z))
{
    // The radio and what it calls in.
    out.writeText("GameData/Items/Radio.idf", RadioDefinition());
    out.writeFile(kRadio + "icon.tga", WriteTga(TgaImage(64, 32, 0xFF405028u), 24));
    out.writeFile(kRadio + "radio.tga", WriteTga(TgaImage(8, 8, 0xFF304020u), 24));
    out.writeFile(kRadio + "bomber.tga", WriteTga(TgaImage(8, 8, 0xFF505860u), 24));
    out.writeFile(kRadio + "marker.tga", WriteTga(TgaImage(8, 8, 0xFFE03020u), 24));
    out.writeFile(kRadio + "world.q3d", Handset(false));
    out.writeFile(kRadio + "held.q3d", Handset(true));
    out.writeFile(kRadio + "bomber.q3d", Bomber());
    out.writeFile(kRadio + "marker.q3d", Marker());
    Wave(out, kRadio + "radio.wav", Beeps(1400.0f));
    Wave(out, kRadio + "refusal.wav", Beeps(400.0f));
    Wave(out, kRadio + "chatter.wav", Noise(2.0f, 0.05f, 0.3f, 0.6f, 0.5f, 31));
    Wave(out, kRadio + "flight.wav", Noise(3.0f, 0.01f, 0.0f, 0.03f, 2.0f, 32));
    Wave(out, kRadio + "boom1.wav", Noise(2.5f, 0.005f, 2.0f, 0.08f, 3.0f, 33));
    Wave(out, kRadio + "boom2.wav", Noise(2.0f, 0.005f, 2.5f, 0.1f, 3.0f, 34));

    // The fuel tank: 150 health, a blast of 120 over 30 units when it goes, its wreck left behind.
    Q3dObject tank = Solid("fueltank", "fueltank.tga");
    AddQ3dCylinder(tank, 40.0f, 40.0f, 60.0f, 12, 0);
    out.writeFile("Maps/tWorld/fueltank.q3d", WriteQ3dModel({tank}));
    Q3dObject wreck = Solid("fueltankwreck", "wreck.tga");
    AddQ3dCylinder(wreck, 45.0f, 25.0f, 15.0f, 12, 0);
    out.writeFile("Maps/tWorld/fueltankwreck.q3d", WriteQ3dModel({wreck}));
    out.writeFile("Maps/tWorld/fueltank.tga", WriteTga(TgaImage(8, 8, 0xFFB0A030u), 24));
    out.writeFile("Maps/tWorld/wreck.tga", WriteTga(TgaImage(8, 8, 0xFF202020u), 24));
    out.writeFile("Sound/TankBoom.wav", WriteWave(Noise(3.0f, 0.005f, 1.5f, 0.06f, 3.0f, 35), kSoundRate, 1));

    const int tankEntry = int(map.entries.size());
    map.entries.push_back({"fueltank.q3d", "FuelTank",
                           {"destroyable 150 Sound/TankBoom.wav 30 120 FuelTankWreck 0 4 0 "
                            "GameData/fx/exp/small-ex_01.par GameData/fx/GroundExp/GroundExp.par",
                            "", "", "", ""},
                           1, 0});
    map.entries.push_back({"fueltankwreck.q3d", "FuelTankWreck", {"", "", "", "", ""}, 1, 0});
    const int zoneEntry = int(map.entries.size());
    out.writeFile("Maps/tWorld/strikezone.q3d", Marker());
    out.writeFile("Maps/tWorld/marker.tga", WriteTga(TgaImage(8, 8, 0xFFE03020u), 24));
    map.entries.push_back({"strikezone.q3d", "StrikeZone", {"airstrike Valley 60", "nocollision", "", "", ""}, 1, 0});
    map.placements.push_back(Standing(groundHeight, kTankX, kTankZ, tankEntry));
    map.placements.push_back(Standing(groundHeight, kZoneX, kZoneZ, zoneEntry));
}
