#include "tools/demodata/writers/WaveWriter.h"

#include "tools/demodata/writers/LittleEndian.h"

namespace {
void PutTag(std::vector<std::uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(tag[i]));
}
}

std::vector<std::uint8_t> WriteWave(const std::vector<std::int16_t>& samples, int rate, int channels)
{
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * 2;
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataSize);
    PutTag(out, "RIFF");
    PutU32(out, 36 + dataSize);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutU32(out, 16);
    PutU16(out, 1);
    PutU16(out, static_cast<std::uint32_t>(channels));
    PutU32(out, static_cast<std::uint32_t>(rate));
    PutU32(out, static_cast<std::uint32_t>(rate) * blockAlign);
    PutU16(out, blockAlign);
    PutU16(out, 16);
    PutTag(out, "data");
    PutU32(out, dataSize);
    for (std::int16_t s : samples)
        PutU16(out, static_cast<std::uint16_t>(s));
    return out;
}
