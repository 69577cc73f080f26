#include "platform/audio/Wave.h"

#include <algorithm>

namespace platform::audio {
namespace {

std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Read32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr int ImaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
constexpr int ImaStepTable[89] = {
    7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60, 66, 73, 80,
    88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408, 449, 494, 544,
    598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066, 2272, 2499, 2749,
    3024, 3327, 3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132, 7845, 8630, 9493, 10442, 11487, 12635,
    13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

struct ImaChannel {
    int predictor = 0;
    int index = 0;

    std::int16_t Decode(int nibble)
    {
        const int step = ImaStepTable[index];
        int diff = step >> 3;
        if (nibble & 4) diff += step;
        if (nibble & 2) diff += step >> 1;
        if (nibble & 1) diff += step >> 2;
        predictor += (nibble & 8) ? -diff : diff;
        predictor = std::clamp(predictor, -32768, 32767);
        index = std::clamp(index + ImaIndexTable[nibble & 15], 0, 88);
        return static_cast<std::int16_t>(predictor);
    }
};

bool DecodeIma(const std::uint8_t* data, std::size_t size, int channels, int blockAlign, Pcm& out, std::string& error)
{
    const std::size_t header = 4u * static_cast<std::size_t>(channels);
    if (blockAlign <= 0 || static_cast<std::size_t>(blockAlign) <= header ||
        (static_cast<std::size_t>(blockAlign) - header) % (4u * static_cast<std::size_t>(channels)) != 0) {
        error = "Invalid IMA ADPCM block alignment.";
        return false;
    }
    const std::size_t framesPerBlock = (static_cast<std::size_t>(blockAlign) - header) * 2 / static_cast<std::size_t>(channels) + 1;
    for (std::size_t offset = 0; offset + static_cast<std::size_t>(blockAlign) <= size; offset += static_cast<std::size_t>(blockAlign)) {
        const std::uint8_t* block = data + offset;
        ImaChannel state[2];
        const std::size_t first = out.samples.size();
        out.samples.resize(first + framesPerBlock * static_cast<std::size_t>(channels));
        for (int c = 0; c < channels; ++c) {
            state[c].predictor = static_cast<std::int16_t>(Read16(block + 4 * c));
            state[c].index = std::min<int>(block[4 * c + 2], 88);
            out.samples[first + static_cast<std::size_t>(c)] = static_cast<std::int16_t>(state[c].predictor);
        }
        // After the headers, each channel contributes 4 bytes (8 samples) in turn.
        const std::uint8_t* p = block + header;
        std::size_t frame = 1;
        while (p < block + blockAlign) {
            for (int c = 0; c < channels; ++c) {
                for (int i = 0; i < 4; ++i) {
                    const std::uint8_t byte = p[i];
                    out.samples[first + (frame + static_cast<std::size_t>(2 * i)) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = state[c].Decode(byte & 15);
                    out.samples[first + (frame + static_cast<std::size_t>(2 * i + 1)) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = state[c].Decode(byte >> 4);
                }
                p += 4;
            }
            frame += 8;
        }
    }
    return true;
}

}

bool DecodeWave(const std::uint8_t* data, std::size_t size, Pcm& out, std::string& error)
{
    out = Pcm{};
    if (!data || size < 12 || Read32(data) != 0x46464952u /* RIFF */ || Read32(data + 8) != 0x45564157u /* WAVE */) {
        error = "Not a RIFF WAVE file.";
        return false;
    }
    int format = -1, channels = 0, bits = 0, blockAlign = 0;
    const std::uint8_t* samples = nullptr;
    std::size_t sampleBytes = 0;
    std::size_t pos = 12;
    while (pos + 8 <= size) {
        const std::uint32_t id = Read32(data + pos);
        const std::uint32_t length = Read32(data + pos + 4);
        const std::size_t body = pos + 8;
        const std::size_t available = std::min<std::size_t>(length, size - body);
        if (id == 0x20746D66u /* fmt */) {
            if (available < 16) {
                error = "Truncated format chunk.";
                return false;
            }
            format = Read16(data + body);
            channels = Read16(data + body + 2);
            out.rate = static_cast<int>(Read32(data + body + 4));
            blockAlign = Read16(data + body + 12);
            bits = Read16(data + body + 14);
        } else if (id == 0x61746164u /* data */) {
            samples = data + body;
            // A data chunk cut short by the end of the file plays what is there.
            sampleBytes = available;
        }
        if (length > size - body)
            break;
        pos = body + length + (length & 1);
    }
    if (format < 0 || !samples) {
        error = "Missing format or data chunk.";
        return false;
    }
    if (channels < 1 || channels > 2 || out.rate < 1000 || out.rate > 192000) {
        error = "Unsupported channel count or sample rate.";
        return false;
    }
    out.channels = channels;
    if (format == 1 && bits == 16) {
        out.samples.resize(sampleBytes / 2 / static_cast<std::size_t>(channels) * static_cast<std::size_t>(channels));
        for (std::size_t i = 0; i < out.samples.size(); ++i)
            out.samples[i] = static_cast<std::int16_t>(Read16(samples + 2 * i));
    } else if (format == 1 && bits == 8) {
        out.samples.resize(sampleBytes / static_cast<std::size_t>(channels) * static_cast<std::size_t>(channels));
        for (std::size_t i = 0; i < out.samples.size(); ++i)
            out.samples[i] = static_cast<std::int16_t>((samples[i] - 128) << 8);
    } else if (format == 0x11 && bits == 4) {
        if (!DecodeIma(samples, sampleBytes, channels, blockAlign, out, error))
            return false;
    } else {
        error = "Unsupported sound format.";
        return false;
    }
    if (out.samples.empty()) {
        error = "No sound data.";
        return false;
    }
    return true;
}

Pcm DownmixToMono(const Pcm& in)
{
    if (in.channels <= 1)
        return in;
    Pcm out;
    out.rate = in.rate;
    out.channels = 1;
    const std::size_t frames = in.FrameCount();
    out.samples.resize(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        int sum = 0;
        for (int c = 0; c < in.channels; ++c)
            sum += in.samples[f * static_cast<std::size_t>(in.channels) + static_cast<std::size_t>(c)];
        out.samples[f] = static_cast<std::int16_t>(sum / in.channels);
    }
    return out;
}

}
