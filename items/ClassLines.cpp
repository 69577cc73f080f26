#include "items/ClassLines.h"

#include <cstdint>

#include "items/DefinitionLines.h"

namespace {

const std::string& LineOf(const std::vector<std::string>& lines, std::size_t index)
{
    static const std::string empty;
    return index < lines.size() ? lines[index] : empty;
}

} // namespace

ZoomLines ReadZoomLines(const std::string& maxText, const std::string& minText, const char* path)
{
    return {FiniteDefinitionFloat(maxText, path, "maximum zoom", kMaxZoom),
            FiniteDefinitionFloat(minText, path, "minimum zoom", kMaxZoom)};
}

ScopeLines ReadScopeLines(const std::vector<std::string>& lines, const char* path)
{
    ScopeLines scope;
    scope.zoom = ReadZoomLines(LineOf(lines, 0), LineOf(lines, 1), path);
    scope.nightVision = std::int32_t(BoundedDefinitionInt(LineOf(lines, 2), 0, 2, path, "night vision"));
    return scope;
}

LauncherLines ReadLauncherLines(const std::vector<std::string>& lines, const char* path)
{
    LauncherLines launcher;
    launcher.projectileModel = LineOf(lines, 0);
    launcher.projectileType =
        std::int32_t(BoundedDefinitionInt(LineOf(lines, 1), INT32_MIN, INT32_MAX, path, "projectile type"));
    static constexpr const char* kAxes[] = {"launch offset x", "launch offset y", "launch offset z"};
    for (int i = 0; i < 3; ++i)
        launcher.launchOffset[i] = FiniteDefinitionFloat(LineOf(lines, std::size_t(2 + i)), path, kAxes[i], kMaxLaunchOffset);
    launcher.launchEffectFile = LineOf(lines, 5);
    launcher.crosshair = LineOf(lines, 6);
    return launcher;
}

float ReadHealAmount(const std::string& text, const char* path)
{
    return FiniteDefinitionFloat(text, path, "heal amount", kMaxHealAmount);
}
