#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The numbers of the class lines that follow the common lines or the weapon block, read with the
// checks of the common lines (BoundedDefinitionInt, FiniteDefinitionFloat): every number finite
// and within what its use can take, each correction logged with the file and the field.

// A zoom is a field of view of atan2(zoom x 0.01, 1): beyond 10000 the view does not narrow.
constexpr float kMaxZoom = 10000.0f;
// A launch effect sits by its launcher: farther than this it would leave the map.
constexpr float kMaxLaunchOffset = 10000.0f;
// More than this heals any character from dead to full many times over.
constexpr float kMaxHealAmount = 10000.0f;

struct ZoomLines {
    float maxZoom = 0.0f, minZoom = 0.0f;
};
// Two zoom lines (maximum, then minimum).
ZoomLines ReadZoomLines(const std::string& maxText, const std::string& minText, const char* path);

// The three lines of a scoped rifle.
struct ScopeLines {
    ZoomLines zoom;
    std::int32_t nightVision = 0; // 0 none, 1 with the scope up, 2 switchable: clamped to 0..2
};
ScopeLines ReadScopeLines(const std::vector<std::string>& lines, const char* path);

// The seven lines of a rocket launcher; the texts as they stand.
struct LauncherLines {
    std::string projectileModel;
    std::int32_t projectileType = 0; // 0 rocket, 1 grenade; another is refused when fired
    float launchOffset[3] = {};
    std::string launchEffectFile;
    std::string crosshair;
};
LauncherLines ReadLauncherLines(const std::vector<std::string>& lines, const char* path);

// The first line of a first-aid kit.
float ReadHealAmount(const std::string& text, const char* path);
