// The guard dog of the demo map: its body ("GameData/Models/Shepard_Base", the soldiers' skeleton
// and animation table, so it walks, runs, bites, flinches and dies with their animations), its
// barks and whimpers in "Sound/Dog", its "Dog Bite" and the dog itself beside the eastern guard.
#include <cmath>
#include <cstdint>
#include <cstdio>
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

// A bark, a whimper or a growl: a pitched buzz gliding from one pitch to another, roughened by
// noise, under a quick attack and the decay of the kind.
struct DogSound {
    double seconds;
    double fromPitch;
    double toPitch;
    double roughness;
    int repeats; // barks in a row
};

std::vector<std::int16_t> Voice(const DogSound& sound, int variant)
{
    std::vector<std::int16_t> samples;
    const int length = int(kRate * sound.seconds * (1.0 + 0.1 * variant));
    std::uint32_t noise = 777u + std::uint32_t(variant) * 31u;
    double phase = 0.0;
    for (int i = 0; i < length; ++i) {
        const double progress = double(i) / length;
        const double within = std::fmod(progress * sound.repeats, 1.0);
        const double pitch = sound.fromPitch + (sound.toPitch - sound.fromPitch) * within;
        phase += 2.0 * std::numbers::pi * pitch * (1.0 + 0.05 * variant) / kRate;
        noise = noise * 1664525u + 1013904223u;
        const double hiss = double(noise >> 9) / double(1u << 23) * 2.0 - 1.0;
        const double buzz = std::sin(phase) + 0.5 * std::sin(2.0 * phase) + 0.25 * std::sin(3.0 * phase);
        const double envelope = std::min(1.0, within * 40.0) * std::pow(1.0 - within, 1.5);
        const double value = (buzz * (1.0 - sound.roughness) + hiss * sound.roughness) * envelope;
        samples.push_back(std::int16_t(std::lround(9000.0 * value)));
    }
    return samples;
}

void WriteDogBite(const DemoDataWriter& out)
{
    const std::string folder = "GameData/Items/DogBite/";
    // Nothing shows of the bite: a speck in the dog's mouth.
    Q3dObject speck;
    speck.name = "bite";
    Q3dMaterial material;
    material.name = "Bite";
    material.texture0 = "metal.tga";
    speck.materials.push_back(material);
    AddQ3dBox(speck, 0.1f, 0.1f, 0.1f, 0, 0xFF202020u);
    const std::vector<std::uint8_t> model = WriteQ3dModel({speck});
    for (const char* file : {"world.q3d", "held.q3d", "held_lod1.q3d"})
        out.writeFile(folder + file, model);
    out.writeFile(folder + "metal.tga", WriteTga(TgaImage(8, 8, 0xFF202020u), 24));
    out.writeFile(folder + "icon.tga", WriteTga(TgaImage(64, 32, 0xFF6A4A2Eu), 24));
    for (int i = 1; i <= 3; ++i)
        out.writeFile(folder + "bite" + std::to_string(i) + ".wav",
                      WriteWave(Voice({0.18, 500.0 + 80.0 * i, 300.0, 0.7, 1}, i), kRate, 1));
    // The knife's lines: the bite reaches a little farther and hits a little harder.
    const std::string text = "Dog Bite, item name\r\nDog Bite\r\n" + folder +
                             "icon.tga\r\n1, weight\r\n0.4, magazine weight\r\n0, magazines\r\n1, slot\r\n"
                             "0, restriction\r\nMelee\r\nUnarmed\r\n@ was mauled by #\r\n"
                             "@ killed teammate # with the Dog Bite\r\n@ killed himself with the Dog Bite\r\n" +
                             folder + "world.q3d\r\n"
                             "1, AI accuracy\r\n1, player accuracy\r\n0, magazine capacity\r\n1, bullets per shot\r\n"
                             "0, spread\r\n0, most magazines\r\n7, effective range\r\n7, range\r\n60, noise\r\n"
                             "0.8, fire interval\r\n1, burst\r\n0, single shot or scope\r\n0, skill\r\n"
                             "Bip01 Head\r\n" + folder + "held.q3d\r\n25, damage\r\n50, second damage value\r\n"
                             "50, target rating\r\n-\r\n-\r\n" + folder + "bite1.wav\r\n" + folder + "bite2.wav\r\n" +
                             folder + "bite3.wav\r\n-\r\n-\r\n";
    out.writeText("GameData/Items/DogBite.idf", text);
}

} // namespace

void AddDemoDogObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z))
{
    // Beside the eastern guard (x 260, z -60), a little towards the squad's side.
    constexpr float x = 250.0f, z = -66.0f;
    const int dog = int(map.entries.size());
    map.entries.push_back({"lamp.q3d", "GuardDog", {"animal", "", "", "", ""}, 1, 0});
    MapFilePlacement placement;
    placement.position[0] = x;
    placement.position[1] = groundHeight(x, z) + 4.0f;
    placement.position[2] = z;
    placement.library = dog;
    map.placements.push_back(placement);

    // Tan coat with black saddle patches.
    WriteDemoSoldierBody(out, "GameData/Models/", "Shepard_Base", 0xFF9A6A3Au, 0xFF201810u);
    WriteDogBite(out);
    struct Set {
        const char* prefix;
        DogSound sound;
    };
    static const Set kSets[] = {
        {"Sound/Dog/Damage", {0.35, 1400.0, 900.0, 0.2, 1}},   // a yelp
        {"Sound/Dog/Death", {0.9, 1100.0, 400.0, 0.3, 1}},     // a long whimper
        {"Sound/Dog/Notice", {0.5, 420.0, 300.0, 0.45, 2}},    // two barks
        {"Sound/Dog/PDead", {0.8, 160.0, 140.0, 0.6, 1}},      // a growl
        {"Sound/Dog/EndSearch", {0.3, 250.0, 200.0, 0.8, 1}},  // a huff
        {"Sound/Dog/Alert", {0.9, 450.0, 320.0, 0.45, 4}},     // barking
    };
    for (const Set& set : kSets) {
        for (int variant = 0; variant < 2; ++variant) {
            char path[96];
            std::snprintf(path, sizeof path, "%s%02d.wav", set.prefix, variant + 1);
            out.writeFile(path, WriteWave(Voice(set.sound, variant), kRate, 1));
        }
    }
}
