#pragma once

// Distances and box bounds use +-3.4e38 rather than the largest float, so that data and
// comparisons written against these values behave the same everywhere.
inline constexpr float kNoHit = 3.4e38f;          // no hit, nothing below, empty-box minimum
inline constexpr float kNoHitNegative = -3.4e38f; // ignored candidate, empty-box maximum

inline constexpr float kPi = 3.14159265358979323846f;
