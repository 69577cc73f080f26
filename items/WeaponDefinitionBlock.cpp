#include "items/WeaponDefinitionBlock.h"

#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "items/DefinitionLines.h"

#include <strings.h>

#include <cstdlib>
#include <vector>

bool WeaponDefinitionBlock::HasHeldModel() const
{
    return !heldModel.empty() && ::strcasecmp(heldModel.c_str(), "none") != 0 && heldModel != "N/A";
}

void ParseWeaponDefinitionBlock(std::string_view text, std::int32_t classDataOffset, WeaponDefinitionBlock& block)
{
    block = WeaponDefinitionBlock{};
    std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);
    // An offset outside the text reads as a block of missing lines.
    std::size_t start = classDataOffset < 0 ? text.size() : std::size_t(classDataOffset);
    DefinitionLines lines{text, start < text.size() ? start : text.size()};
    auto toFloat = [&] { return std::strtof(lines.Next().c_str(), nullptr); };
    auto toInt = [&] { return std::atoi(lines.Next().c_str()); };
    block.aiAccuracyFactor = toFloat();
    block.playerAccuracyFactor = toFloat();
    block.magazineCapacity = toInt();
    block.bulletsPerShot = toInt();
    block.spread = toFloat();
    block.maxMagazines = toInt();
    block.effectiveRange = toFloat();
    block.range = toFloat();
    block.noise = toInt();
    block.fireInterval = toFloat();
    block.burstLength = toInt();
    block.singleShotAllowed = lines.Next().rfind('0', 0) != 0;
    block.skillIndex = toInt();
    CopyBounded(block.boneName, lines.Next());
    block.heldModel = lines.Next();
    block.damage = toFloat();
    block.bulletValue2 = toFloat();
    block.targetRating = toFloat();
    for (std::string& path : block.resourcePath)
        path = lines.Next();
    block.classDataEnd = std::int32_t(lines.position);
}

void ReadWeaponDefinitionBlock(const ItemDefinition& definition, WeaponDefinitionBlock& block)
{
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(definition.path, bytes))
        throw q3DError("Can't load %s!", definition.path);
    ParseWeaponDefinitionBlock(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                               definition.classDataOffset, block);
}
