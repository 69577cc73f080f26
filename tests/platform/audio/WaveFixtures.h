#pragma once

// Small WAV files made by the tests themselves: tones in 8- and 16-bit PCM and IMA ADPCM.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace wavefixtures {

inline void Put16(std::vector<std::uint8_t>& out, unsigned v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
inline void PutTag(std::vector<std::uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

// Interleaved 16-bit frames of a sine tone, the same in every channel.
inline std::vector<std::int16_t> Tone(double frequency, int rate, int frames, int channels = 1, double amplitude = 12000.0)
{
    std::vector<std::int16_t> samples;
    for (int f = 0; f < frames; ++f) {
        const auto v = static_cast<std::int16_t>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * f / rate));
        for (int c = 0; c < channels; ++c)
            samples.push_back(v);
    }
    return samples;
}

inline std::vector<std::uint8_t> Riff(std::uint16_t format, int channels, int rate, int bits, int blockAlign,
                                      const std::vector<std::uint8_t>& data, std::uint16_t framesPerBlock = 0)
{
    std::vector<std::uint8_t> out;
    const bool ima = format == 0x11;
    const std::uint32_t fmtSize = ima ? 20 : 16;
    PutTag(out, "RIFF");
    Put32(out, static_cast<std::uint32_t>(4 + 8 + fmtSize + 8 + data.size() + (data.size() & 1)));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, fmtSize);
    Put16(out, format);
    Put16(out, static_cast<unsigned>(channels));
    Put32(out, static_cast<std::uint32_t>(rate));
    Put32(out, static_cast<std::uint32_t>(ima ? rate * blockAlign / framesPerBlock : rate * blockAlign));
    Put16(out, static_cast<unsigned>(blockAlign));
    Put16(out, static_cast<unsigned>(bits));
    if (ima) {
        Put16(out, 2);
        Put16(out, framesPerBlock);
    }
    PutTag(out, "data");
    Put32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1)
        out.push_back(0);
    return out;
}

inline std::vector<std::uint8_t> Pcm16(const std::vector<std::int16_t>& samples, int rate, int channels)
{
    std::vector<std::uint8_t> data;
    for (std::int16_t s : samples)
        Put16(data, static_cast<std::uint16_t>(s));
    return Riff(1, channels, rate, 16, 2 * channels, data);
}

inline std::vector<std::uint8_t> Pcm8(const std::vector<std::int16_t>& samples, int rate, int channels)
{
    std::vector<std::uint8_t> data;
    for (std::int16_t s : samples)
        data.push_back(static_cast<std::uint8_t>((s >> 8) + 128));
    return Riff(1, channels, rate, 8, channels, data);
}

// IMA ADPCM, mono, 256-byte blocks (505 frames each).
inline std::vector<std::uint8_t> Ima(const std::vector<std::int16_t>& samples, int rate)
{
    static const int indexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
    static const int stepTable[89] = {
        7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60, 66, 73, 80,
        88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408, 449, 494, 544,
        598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066, 2272, 2499, 2749,
        3024, 3327, 3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132, 7845, 8630, 9493, 10442, 11487, 12635,
        13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    const int blockAlign = 256;
    const int framesPerBlock = (blockAlign - 4) * 2 + 1;
    std::vector<std::uint8_t> data;
    int index = 0;
    for (std::size_t start = 0; start < samples.size(); start += framesPerBlock) {
        auto at = [&](std::size_t i) { return i < samples.size() ? samples[i] : std::int16_t(0); };
        int predictor = at(start);
        Put16(data, static_cast<std::uint16_t>(predictor));
        data.push_back(static_cast<std::uint8_t>(index));
        data.push_back(0);
        std::uint8_t pending = 0;
        for (int i = 1; i < framesPerBlock; ++i) {
            const int step = stepTable[index];
            int diff = at(start + static_cast<std::size_t>(i)) - predictor;
            int nibble = 0;
            if (diff < 0) { nibble = 8; diff = -diff; }
            int delta = step >> 3;
            if (diff >= step) { nibble |= 4; diff -= step; delta += step; }
            if (diff >= step >> 1) { nibble |= 2; diff -= step >> 1; delta += step >> 1; }
            if (diff >= step >> 2) { nibble |= 1; delta += step >> 2; }
            predictor = std::clamp(predictor + ((nibble & 8) ? -delta : delta), -32768, 32767);
            index = std::clamp(index + indexTable[nibble], 0, 88);
            if (i & 1)
                pending = static_cast<std::uint8_t>(nibble);
            else
                data.push_back(static_cast<std::uint8_t>(pending | (nibble << 4)));
        }
    }
    return Riff(0x11, 1, rate, 4, blockAlign, data, static_cast<std::uint16_t>(framesPerBlock));
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Root mean square of one channel of interleaved stereo.
inline double ChannelRms(const std::vector<std::int16_t>& stereo, int channel)
{
    double sum = 0.0;
    std::size_t n = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < stereo.size(); i += 2, ++n)
        sum += static_cast<double>(stereo[i]) * stereo[i];
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

// Sign changes of one channel, a measure of pitch.
inline int ZeroCrossings(const std::vector<std::int16_t>& stereo, int channel)
{
    int count = 0;
    for (std::size_t i = static_cast<std::size_t>(channel) + 2; i < stereo.size(); i += 2)
        if ((stereo[i - 2] < 0) != (stereo[i] < 0))
            ++count;
    return count;
}

}
