// The squad's voice lines ("Sound/AVoice1" to "Sound/AVoice4", one folder per voice set) and the
// soldier's water and fatigue loops.
#include <cmath>
#include <cstdio>
#include <numbers>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

constexpr int SoundRate = 22050;
constexpr int VoiceSets = 4;

// Seamless noise loops for wading and swimming: filtered noise with a slow stroke rhythm.
std::vector<std::int16_t> WaterLoop(double strokes, double smoothing)
{
    std::vector<std::int16_t> samples;
    const int length = SoundRate;
    std::uint32_t noise = 777;
    double filtered = 0.0;
    for (int i = 0; i < length; ++i) {
        noise = noise * 1664525u + 1013904223u;
        filtered += (static_cast<double>(noise >> 16) / 32768.0 - 1.0 - filtered) * smoothing;
        const double rhythm = 0.6 + 0.4 * std::sin(2.0 * std::numbers::pi * strokes * i / length);
        samples.push_back(static_cast<std::int16_t>(std::lround(9000.0 * rhythm * filtered)));
    }
    return samples;
}

// Heavy breathing: two noise breaths, in and out.
std::vector<std::int16_t> Fatigue()
{
    std::vector<std::int16_t> samples;
    const int length = SoundRate * 3 / 2;
    std::uint32_t noise = 4242;
    double filtered = 0.0;
    for (int i = 0; i < length; ++i) {
        noise = noise * 1664525u + 1013904223u;
        filtered += (static_cast<double>(noise >> 16) / 32768.0 - 1.0 - filtered) * 0.15;
        const double breath = std::pow(std::sin(2.0 * std::numbers::pi * i / length), 2.0);
        samples.push_back(static_cast<std::int16_t>(std::lround(8000.0 * breath * filtered)));
    }
    return samples;
}

} // namespace

// A spoken-sounding burst: a voiced buzz whose pitch belongs to the set and glides with the
// line, shaped into syllables.
std::vector<std::int16_t> DemoVoiceLine(int set, int line, int variant)
{
    std::vector<std::int16_t> samples;
    const int length = DemoVoiceRate * (220 + 40 * variant) / 1000;
    const double base = 95.0 + 30.0 * set;
    const double glide = 1.0 + 0.04 * (line % 5) - 0.03 * variant;
    const double syllables = 3.0 + (line + variant) % 3;
    double phase = 0.0;
    for (int i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / DemoVoiceRate;
        const double progress = static_cast<double>(i) / length;
        phase += 2.0 * std::numbers::pi * base * (1.0 + (glide - 1.0) * progress) / DemoVoiceRate;
        const double buzz = std::sin(phase) + 0.5 * std::sin(2.0 * phase) + 0.25 * std::sin(3.0 * phase);
        const double envelope = std::pow(std::sin(std::numbers::pi * progress * syllables), 2.0) *
                                std::min(1.0, (1.0 - progress) * 20.0) * std::min(1.0, t * 200.0);
        samples.push_back(static_cast<std::int16_t>(std::lround(7000.0 * envelope * buzz)));
    }
    return samples;
}

void GenerateDemoPlayer(const DemoDataWriter& out)
{
    static constexpr const char* kCategories[] = {"Follow", "Switch",  "Attack", "HoldPos", "HoldFire", "FireAtWill",
                                                  "Death",  "Damage", "Command", "Kill",    "Incoming"};
    for (int set = 1; set <= VoiceSets; ++set) {
        int line = 0;
        for (const char* category : kCategories) {
            const int variants = std::string_view(category) == "FireAtWill" ? 1 : 2;
            for (int variant = 0; variant < variants; ++variant) {
                char path[96];
                std::snprintf(path, sizeof path, "Sound/AVoice%d/%s%02d.wav", set, category, variant + 1);
                out.writeFile(path, WriteWave(DemoVoiceLine(set, line, variant), DemoVoiceRate, 1));
            }
            ++line;
        }
    }
    out.writeFile("Sound/wadingLP.wav", WriteWave(WaterLoop(2.0, 0.08), SoundRate, 1));
    out.writeFile("Sound/swimmingLP.wav", WriteWave(WaterLoop(1.0, 0.2), SoundRate, 1));
    out.writeFile("Sound/fatigued.wav", WriteWave(Fatigue(), SoundRate, 1));
}
