#include "tools/demodata/writers/WaveWriter.h"

namespace {
void Put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFFu);
    Put16(out, v >> 16);
}
void PutTag(std::vector<std::uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }
}

std::vector<std::uint8_t> WriteWave(const std::vector<std::int16_t>& samples, int rate, int channels)
{
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * 2;
    std::vector<std::uint8_t> out;
    PutTag(out, "RIFF");
    Put32(out, 36 + dataSize);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(channels));
    Put32(out, static_cast<std::uint32_t>(rate));
    Put32(out, static_cast<std::uint32_t>(rate) * blockAlign);
    Put16(out, blockAlign);
    Put16(out, 16);
    PutTag(out, "data");
    Put32(out, dataSize);
    for (std::int16_t s : samples)
        Put16(out, static_cast<std::uint16_t>(s));
    return out;
}
