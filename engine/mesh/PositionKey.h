#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/core/Vector.h"

// A position compared exactly, as float ==, for hashing (-0 and +0 are the same position).
struct PositionKey {
    std::uint32_t bits[3];

    explicit PositionKey(const Vector3& p)
    {
        const float xyz[3] = {p.x == 0.0f ? 0.0f : p.x, p.y == 0.0f ? 0.0f : p.y, p.z == 0.0f ? 0.0f : p.z};
        std::memcpy(bits, xyz, sizeof(bits));
    }
    friend bool operator==(const PositionKey& a, const PositionKey& b)
    {
        return a.bits[0] == b.bits[0] && a.bits[1] == b.bits[1] && a.bits[2] == b.bits[2];
    }
};

struct PositionKeyHash {
    std::size_t operator()(const PositionKey& key) const
    {
        std::size_t h = key.bits[0];
        h = h * 0x9E3779B97F4A7C15ull + key.bits[1];
        h = h * 0x9E3779B97F4A7C15ull + key.bits[2];
        return h ^ (h >> 29);
    }
};
