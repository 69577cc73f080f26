#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "renderer/Device.h"

// The presented frame as 0x00RRGGBB words, rows from the top; empty when the back buffer
// can't be locked.
inline std::vector<std::uint32_t> ReadFrame(Device* device)
{
    D3DBitmap* back = device->GetBackBuffer();
    std::vector<std::uint32_t> pixels;
    const auto* bits = static_cast<const std::uint8_t*>(back->Lock(false));
    if (!bits)
        return pixels;
    const int pitch = back->GetPitch();
    for (int y = 0; y < back->GetHeight(); ++y)
        for (int x = 0; x < back->GetWidth(); ++x) {
            std::uint32_t p;
            std::memcpy(&p, bits + std::size_t(y) * std::size_t(pitch) + std::size_t(x) * 4, 4);
            pixels.push_back(p & 0xFFFFFFu);
        }
    back->Unlock();
    return pixels;
}

// Whether every colour channel of a and b differs by at most tolerance.
inline bool Near(std::uint32_t a, std::uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}
