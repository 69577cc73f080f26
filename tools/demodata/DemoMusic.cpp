// The mission's music: the two ambient tracks a mission plays when its file names none, the
// battle tracks, the victory and the defeat tunes. The sound layer recognises a sound file by its
// contents and decodes PCM WAVE, so the tracks are PCM under the names the game opens.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

constexpr int kMusicRate = 22050;
constexpr double kPi = 3.14159265358979323846;

// Chords, one per beat: each a root frequency played with its fifth and octave, swelling in and
// dying away within the beat, so a looping track joins without a click.
std::vector<std::int16_t> Chords(const std::vector<double>& roots, double beatSeconds, double level)
{
    const int beat = int(beatSeconds * kMusicRate);
    std::vector<std::int16_t> samples;
    samples.reserve(roots.size() * std::size_t(beat));
    for (double root : roots)
        for (int i = 0; i < beat; ++i) {
            const double t = double(i) / kMusicRate;
            const double envelope = std::min(t / 0.05, 1.0) * std::min((beatSeconds - t) / 0.2, 1.0);
            const double wave = std::sin(2 * kPi * root * t) + 0.5 * std::sin(2 * kPi * root * 1.5 * t) +
                                0.25 * std::sin(2 * kPi * root * 2 * t);
            samples.push_back(std::int16_t(std::clamp(wave / 1.75 * envelope * level, -1.0, 1.0) * 32000.0));
        }
    return samples;
}

} // namespace

void GenerateDemoMusic(const DemoDataWriter& out)
{
    const std::string music = "Sound/Music/";
    const auto track = [&](const std::string& name, const std::vector<double>& roots, double beat, double level) {
        out.writeFile(music + name, WriteWave(Chords(roots, beat, level), kMusicRate, 1));
    };
    track("LongAmbient01.ogg", {110.0, 98.0, 87.3, 98.0}, 2.0, 0.3);
    track("LongAmbient02.ogg", {130.8, 116.5, 103.8, 116.5}, 2.0, 0.3);
    for (int i = 1; i <= 5; ++i) {
        const double root = 146.8 + 8.0 * i;
        track("Battle0" + std::to_string(i) + ".ogg", {root, root, root * 1.19, root * 0.89, root, root * 1.33}, 0.5, 0.5);
    }
    track("VictoryCam01.ogg", {196.0, 246.9, 293.7, 392.0}, 0.6, 0.5);
    track("Taps.ogg", {196.0, 196.0, 261.6, 196.0, 261.6, 329.6}, 0.8, 0.4);
}
