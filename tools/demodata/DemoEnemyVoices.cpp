// The enemies' voice lines: the five categories of the mission's voice folder ("Sound/Voice"),
// the alert lines that most enemies shout at first contact, and the alarmer's whistle.
#include <cmath>
#include <cstdio>
#include <numbers>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

// The enemies speak in the deepest of the demo voices, apart from the squad's four.
constexpr int EnemyVoice = 0;

// Two short blasts of a pea whistle: a high tone with a fast trill.
std::vector<std::int16_t> Whistle(int variant)
{
    std::vector<std::int16_t> samples;
    const int length = DemoVoiceRate * (600 + 100 * variant) / 1000;
    const double pitch = 2600.0 + 150.0 * variant;
    double phase = 0.0;
    for (int i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / DemoVoiceRate;
        const double progress = static_cast<double>(i) / length;
        const double trill = 1.0 + 0.04 * std::sin(2.0 * std::numbers::pi * 28.0 * t);
        phase += 2.0 * std::numbers::pi * pitch * trill / DemoVoiceRate;
        const double blasts = std::sin(std::numbers::pi * progress * 2.0) > 0.0 ? 1.0 : 0.0;
        const double envelope = blasts * std::min(1.0, (1.0 - progress) * 30.0) * std::min(1.0, t * 300.0);
        samples.push_back(static_cast<std::int16_t>(std::lround(6000.0 * envelope * std::sin(phase))));
    }
    return samples;
}

} // namespace

void GenerateDemoEnemyVoices(const DemoDataWriter& out)
{
    static constexpr const char* kLines[] = {"Sound/Voice/Damage", "Sound/Voice/Death", "Sound/Voice/Notice",
                                             "Sound/Voice/PDead", "Sound/Voice/EndSearch", "Sound/Voice/Alert"};
    int line = 0;
    for (const char* prefix : kLines) {
        for (int variant = 0; variant < 2; ++variant) {
            char path[96];
            std::snprintf(path, sizeof path, "%s%02d.wav", prefix, variant + 1);
            out.writeFile(path, WriteWave(DemoVoiceLine(EnemyVoice, line, variant), DemoVoiceRate, 1));
        }
        ++line;
    }
    for (int variant = 0; variant < 2; ++variant) {
        char path[64];
        std::snprintf(path, sizeof path, "Sound/whistle%02d.wav", variant + 1);
        out.writeFile(path, WriteWave(Whistle(variant), DemoVoiceRate, 1));
    }
}
