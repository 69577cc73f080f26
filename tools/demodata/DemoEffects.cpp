// The demo map's effects: the blob-shadow and decal textures, far trees drawn as imposters, a shed
// that casts a stencil shadow, and a rain storm with lightning (keyword file, cover grid, bolt and
// splash sprites, rain and thunder sounds).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

constexpr int kSoundRate = 22050;

// A soft dark disc, for blob shadows and scorch marks.
TgaImage Disc(int size, std::uint32_t colour, float hardness)
{
    TgaImage image(size, size, colour & 0x00FFFFFFu);
    const float half = float(size) * 0.5f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float d = std::hypot(float(x) + 0.5f - half, float(y) + 0.5f - half) / half;
            const float alpha = std::clamp((1.0f - d) * hardness, 0.0f, 1.0f) * float(colour >> 24) / 255.0f;
            image.At(x, y) = std::uint32_t(alpha * 255.0f) << 24 | (colour & 0x00FFFFFFu);
        }
    return image;
}

// A jagged white bolt on transparency, drawn top to bottom.
TgaImage Bolt()
{
    TgaImage image(32, 128, 0x00FFFFFFu);
    std::uint32_t state = 77u;
    int x = 16;
    for (int y = 0; y < 128; ++y) {
        state = state * 1664525u + 1013904223u;
        x = std::clamp(x + int(state >> 30) - 1, 3, 28);
        for (int dx = -2; dx <= 2; ++dx)
            image.At(x + dx, y) = std::uint32_t(dx == 0 ? 255 : 140) << 24 | 0x00F0F0FFu;
    }
    return image;
}

// Noise with an envelope: a decaying rumble for thunder, a steady hiss for rain.
std::vector<std::int16_t> Noise(float seconds, float attack, float decay, float level, int smoothing, std::uint32_t seed)
{
    const int count = int(seconds * float(kSoundRate));
    std::vector<std::int16_t> samples(static_cast<std::size_t>(count));
    std::uint32_t state = seed;
    float low = 0.0f;
    for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        const float white = float(int(state >> 16) - 32768) / 32768.0f;
        low += (white - low) / float(smoothing);
        const float t = float(i) / float(kSoundRate);
        const float envelope = std::min(t / attack, 1.0f) * (decay > 0.0f ? std::exp(-t / decay) : 1.0f);
        samples[std::size_t(i)] = std::int16_t(std::clamp(low * envelope * level, -1.0f, 1.0f) * 32000.0f);
    }
    return samples;
}

constexpr int kSide = 64;      // cells of the demo map
constexpr float kCell = 10.0f; // units a cell

MapFilePlacement At(float x, float y, float z, int library, float scale)
{
    MapFilePlacement placement;
    placement.position[0] = x, placement.position[1] = y, placement.position[2] = z;
    placement.scale = scale;
    placement.library = library;
    return placement;
}

} // namespace

void AddDemoEffectObjects(const DemoDataWriter& out, MapFile& map, float (*groundHeight)(float x, float z))
{
    // A grove of far trees in the north-east corner: drawn as imposters from across the valley.
    const int farTree = int(map.entries.size());
    map.entries.push_back({"tree.q3d", "FarTree", {"imposter", "", "", "", ""}, 0, 0});
    for (int i = 0; i < 24; ++i) {
        const float x = 230.0f + float(i % 6) * 14.0f, z = 230.0f + float(i / 6) * 16.0f + float(i % 2) * 5.0f;
        map.placements.push_back(At(x, groundHeight(x, z) - 0.5f, z, farTree, 0.9f + float(i % 3) * 0.1f));
    }
    // A shed beside the house that casts a stencil shadow.
    const int shed = int(map.entries.size());
    map.entries.push_back({"house.q3d", "Shed", {"dynshadow 400", "", "", "", ""}, 1, 0});
    map.placements.push_back(At(200.0f, groundHeight(200.0f, -20.0f), -20.0f, shed, 0.5f));

    // The rain's cover grid: one entry per 4 units over the 640-unit map, the height rain stops at;
    // the house's roof covers the ground under it.
    const int entries = kSide * int(kCell) / 4;
    std::vector<std::uint8_t> grid;
    const auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            grid.push_back(std::uint8_t(v >> (8 * i)));
    };
    put32(std::uint32_t(entries));
    put32(std::uint32_t(entries));
    const float half = float(kSide) * kCell * 0.5f;
    for (int i = 0; i < entries; ++i)
        for (int k = 0; k < entries; ++k) {
            const float x = float(i) * 4.0f - half, z = float(k) * 4.0f - half;
            std::uint16_t value = std::uint16_t(std::max(groundHeight(x, z), 0.0f));
            // The house stands on cell (48, 30): x 160, z 20, about 12 x 10 units, 8 high.
            if (std::fabs(x - 160.0f) <= 6.0f && std::fabs(z - 20.0f) <= 5.0f)
                value = std::uint16_t(0x4000 | (value + 8));
            grid.push_back(std::uint8_t(value));
            grid.push_back(std::uint8_t(value >> 8));
        }
    out.writeFile("Maps/Demo/rain.sgd", grid);
}

void GenerateDemoEffects(const DemoDataWriter& out)
{
    out.writeFile("GameData/fx/shadow.tga", WriteTga(Disc(64, 0xB0000000u, 1.5f), 32));
    out.writeFile("GameData/fx/bullethole.tga", WriteTga(Disc(16, 0xFF202020u, 4.0f), 32));
    out.writeFile("GameData/fx/scorch.tga", WriteTga(Disc(128, 0xE0100C08u, 1.2f), 32));
    out.writeFile("GameData/fx/bolt.tga", WriteTga(Bolt(), 32));
    out.writeFile("GameData/fx/splash.tga", WriteTga(Disc(16, 0xC0D0E0FFu, 1.0f), 32));
    // The formation-slot marker that the soldiers draw while the mission's debug drawing is on.
    out.writeFile("GameData/fx/dot.tga", WriteTga(Disc(16, 0xFFFFFFFFu, 3.0f), 32));
    out.writeFile("Sound/thunder1.wav", WriteWave(Noise(2.5f, 0.05f, 0.8f, 3.0f, 24, 11u), kSoundRate, 1));
    out.writeFile("Sound/thunder2.wav", WriteWave(Noise(3.0f, 0.2f, 1.1f, 3.0f, 40, 12u), kSoundRate, 1));
    out.writeFile("Sound/rain.wav", WriteWave(Noise(2.0f, 0.01f, 0.0f, 0.3f, 2, 13u), kSoundRate, 1));

    out.writeText("Maps/Demo/rain.wfx",
                  "PRECIPITATION_TYPE RAIN\n"
                  "CREATION_RATE 10 20\n"
                  "PRECIPITATION_RADIUS 60\n"
                  "PRECIPITATION_NUM_PARTICLES 600 1500\n"
                  "PRECIPITATION_TRANSITION_RATE 20\n"
                  "PRECIPITATION_INTERVAL_DURATION 2 1\n"
                  "PRECIPITATION_VELOCITY_RANGE_MIN -4 -60 -4\n"
                  "PRECIPITATION_VELOCITY_RANGE_MAX 4 -44 4\n"
                  "PRECIPITATION_BRIGHTNESS 0.5 0.85\n"
                  "PRECIPITATION_COLLISION_SPRITE GameData/fx/splash.tga null\n"
                  "PRECIPITATION_PARTICLE_SOUND_EFFECT Sound/rain.wav\n"
                  "LIGHTNING_INTERVAL 8 12\n"
                  "LIGHTNING_SPRITE GameData/fx/bolt.tga GameData/fx/bolt.tga\n"
                  "LIGHTNING_DURATION 0.6\n"
                  "LIGHTNING_SOUND_EFFECT Sound/thunder1.wav Sound/thunder2.wav null\n");

}
