#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// Appends values in the little-endian byte order every file layout of the data set uses.
inline void PutU16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

inline void PutI32(std::vector<std::uint8_t>& out, std::int32_t value) { PutU32(out, std::uint32_t(value)); }

inline void PutF32(std::vector<std::uint8_t>& out, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutU32(out, bits);
}
