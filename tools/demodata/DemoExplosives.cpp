// The explosives of the demo set: the anti-personnel mine, the remote charge, the timed charge and
// the mine field, with their models, sounds and the timed charge's overlay; on the map a mine field
// north-east of the start and an explosion prop that blows a shell hole now and then north-west of it.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

constexpr int kRate = 22050;

std::vector<std::int16_t> Blast(int milliseconds, double decay, double level, std::uint32_t seed)
{
    std::vector<std::int16_t> samples;
    std::uint32_t noise = seed;
    for (int i = 0; i < kRate * milliseconds / 1000; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double t = double(i) / kRate;
        const double value = 0.7 * (double(noise >> 16) / 32768.0 - 1.0) + 0.3 * std::sin(2.0 * std::numbers::pi * 45.0 * t);
        samples.push_back(std::int16_t(std::lround(level * std::exp(-t * decay) * value)));
    }
    return samples;
}

std::vector<std::int16_t> Tone(int milliseconds, double pitch, double level, int repeats = 1)
{
    std::vector<std::int16_t> samples;
    for (int r = 0; r < repeats; ++r) {
        for (int i = 0; i < kRate * milliseconds / 1000; ++i)
            samples.push_back(std::int16_t(std::lround(level * std::sin(2.0 * std::numbers::pi * pitch * i / kRate))));
        samples.insert(samples.end(), std::size_t(kRate * milliseconds / 1000), 0);
    }
    return samples;
}

std::vector<std::uint8_t> Disc(float radius, float height, std::uint32_t colour, const char* texture)
{
    Q3dObject object;
    object.name = "explosive";
    Q3dMaterial body;
    body.texture0 = texture;
    object.materials.push_back(body);
    AddQ3dCylinder(object, radius, radius, height, 10, 0, colour);
    return WriteQ3dModel({object});
}

std::vector<std::uint8_t> Brick(std::uint32_t colour, const char* texture)
{
    Q3dObject object;
    object.name = "explosive";
    Q3dMaterial body;
    body.texture0 = texture;
    object.materials.push_back(body);
    AddQ3dBox(object, 4.0f, 2.0f, 6.0f, 0, colour);
    return WriteQ3dModel({object});
}

std::string Common(const std::string& name, const std::string& folder, const char* keyword, int slot)
{
    return name + ", item name\r\n" + name + "\r\n" + folder + "icon.tga\r\n2, weight\r\n0, unit weight\r\n1, units\r\n" +
           std::to_string(slot) + ", slot\r\n0, restriction\r\n" + keyword + "\r\nUnarmed\r\n@ killed # with the " + name +
           "\r\n@ killed teammate # with the " + name + "\r\n@ killed himself with the " + name + "\r\n" + folder +
           "world.q3d\r\n";
}

} // namespace

void AddDemoExplosives(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z))
{
    const std::string items = "GameData/Items/";
    const std::string mine = items + "APMine/", charge = items + "Charge/", c4 = items + "C4/",
                      field = items + "MineField/";
    for (const std::string& folder : {mine, charge, c4, field}) {
        out.writeFile(folder + "metal.tga", WriteTga(TgaImage(8, 8, 0xFF405030u), 24));
        out.writeFile(folder + "icon.tga", WriteTga(TgaImage(64, 32, 0xFF506040u), 24));
    }
    out.writeFile(mine + "world.q3d", Disc(15.0f, 6.0f, 0xFF405030u, "metal.tga"));
    out.writeFile(field + "world.q3d", Disc(15.0f, 6.0f, 0xFF504030u, "metal.tga"));
    out.writeFile(field + "crater.q3d", Disc(30.0f, 1.0f, 0xFF201810u, "metal.tga"));
    out.writeFile(charge + "world.q3d", Brick(0xFFA09060u, "metal.tga"));
    out.writeFile(c4 + "world.q3d", Brick(0xFF909080u, "metal.tga"));

    out.writeFile(mine + "boom01.wav", WriteWave(Blast(1200, 4.0, 26000.0, 91), kRate, 1));
    out.writeFile(mine + "boom02.wav", WriteWave(Blast(1300, 3.5, 26000.0, 92), kRate, 1));
    out.writeFile(mine + "place.wav", WriteWave(Tone(60, 700.0, 6000.0, 2), kRate, 1));
    for (int i = 1; i <= 3; ++i)
        out.writeFile(field + "boom_0" + std::to_string(i) + ".wav", WriteWave(Blast(1200, 4.0, 26000.0, 93 + i), kRate, 1));
    out.writeFile(c4 + "beepshort01.wav", WriteWave(Tone(60, 2000.0, 9000.0), kRate, 1));
    out.writeFile(c4 + "beeplong01.wav", WriteWave(Tone(700, 2000.0, 9000.0), kRate, 1));
    out.writeFile(c4 + "tic_toc.wav", WriteWave(Tone(30, 900.0, 5000.0, 2), kRate, 1));
    out.writeFile(c4 + "Explosion.wav", WriteWave(Blast(1600, 3.0, 28000.0, 97), kRate, 1));
    TgaImage overlay(64, 64, 0);
    for (int i = 8; i < 56; ++i)
        overlay.At(i, 8) = overlay.At(i, 55) = overlay.At(8, i) = overlay.At(55, i) = 0xFF40FF40u;
    out.writeFile(c4 + "overlay.tga", WriteTga(overlay, 32));

    const std::string fx = "GameData/fx/GroundExp/GroundExp.par";
    out.writeText(items + "APMine.idf",
                  Common("AP Mine", mine, "APMine", 2) + "2, explosion sounds\r\n" + mine + "boom01.wav\r\n" + mine +
                      "boom02.wav\r\n150, least damage\r\n250, most damage\r\n20, blast radius\r\n0, cone\r\n" + mine +
                      "place.wav\r\n" + fx + "\r\n6, trigger radius\r\n");
    out.writeText(items + "Charge.idf",
                  Common("Remote Charge", charge, "RemotelyDetonatedExplosive", 2) + "1, explosion sounds\r\n" + mine +
                      "boom02.wav\r\n300, least damage\r\n500, most damage\r\n12, blast radius\r\n0, cone\r\n" + mine +
                      "place.wav\r\n" + fx + "\r\n");
    out.writeText(items + "C4.idf", Common("Timed Charge", c4, "TimedExplosive", 2));
    out.writeText(items + "MineField.idf", Common("Mine Field", field, "Mine Field", 4) + field + "crater.q3d\r\n" +
                                               field + "boom\r\n");

    // A field of 40 by 40 units north-east of the start, and a shell hole that opens harmlessly every 8 to
    // 15 seconds in the north-west.
    const int minefield = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "MineField", {"minefield 20 1", "", "", "", ""}, 1, 0});
    const int shelling = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "Shelling",
                           {"explosion 2 " + fx + " GameData/fx/grenade_smoke.par 8 15 0 0 -1 " + c4 + "Explosion.wav",
                            "", "", "", ""},
                           1, 0});
    for (auto [library, x, z] : {std::tuple{minefield, 90.0f, 120.0f}, std::tuple{shelling, -120.0f, 140.0f}}) {
        MapFilePlacement placement;
        placement.position[0] = x;
        placement.position[1] = groundHeight(x, z);
        placement.position[2] = z;
        placement.library = library;
        map.placements.push_back(placement);
    }
}
