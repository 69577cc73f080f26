#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "items/ClassLines.h"
#include "items/DefinitionLines.h"

namespace readers {

namespace {

bool Within(float value, float limit) { return std::isfinite(value) && std::fabs(value) <= limit; }

} // namespace

std::string ReadWeaponClassLinesBytes(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // As ReadDefinitionLines reads the file: a zero byte ends the text.
    if (const std::size_t zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);
    DefinitionLines walk{text};
    std::vector<std::string> lines;
    for (int i = 0; i < 7; ++i)
        lines.push_back(walk.Next());
    const char* path = "GameData/Items/fuzz.idf";

    const LauncherLines launcher = ReadLauncherLines(lines, path);
    for (float offset : launcher.launchOffset)
        if (!Within(offset, kMaxLaunchOffset))
            return "a launch offset is not finite or too far";
    if (launcher.projectileModel != lines[0] || launcher.launchEffectFile != lines[5] || launcher.crosshair != lines[6])
        return "a launcher text is not the line as it stands";

    const ScopeLines scope = ReadScopeLines(lines, path);
    if (!Within(scope.zoom.maxZoom, kMaxZoom) || !Within(scope.zoom.minZoom, kMaxZoom))
        return "a zoom is not finite or beyond its bound";
    if (scope.nightVision < 0 || scope.nightVision > 2)
        return "the night vision mode is out of range";
    // The zoom steps a player takes stay finite.
    if (!std::isfinite((scope.zoom.maxZoom - scope.zoom.minZoom) / 8.0f))
        return "a zoom step is not finite";

    const std::vector<std::string> few(lines.begin(), lines.begin() + 1);
    if (ReadScopeLines(few, path).nightVision != 0 || ReadLauncherLines(few, path).launchOffset[2] != 0.0f)
        return "missing lines do not read as zero";
    if (!Within(ReadHealAmount(lines[0], path), kMaxHealAmount))
        return "the heal amount is not finite or beyond its bound";
    return {};
}

} // namespace readers
