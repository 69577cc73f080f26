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

void ParseWeaponDefinitionBlock(std::string_view text, std::int32_t classDataOffset, WeaponDefinitionBlock& block,
                                const char* path)
{
    block = WeaponDefinitionBlock{};
    std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);
    // An offset outside the text reads as a block of missing lines.
    std::size_t start = classDataOffset < 0 ? text.size() : std::size_t(classDataOffset);
    DefinitionLines lines{text, start < text.size() ? start : text.size()};
    auto toFloat = [&](const char* field) { return FiniteDefinitionFloat(lines.Next(), path, field); };
    auto toInt = [&](const char* field, long low, long high) {
        return std::int32_t(BoundedDefinitionInt(lines.Next(), low, high, path, field));
    };
    block.aiAccuracyFactor = toFloat("AI accuracy");
    block.playerAccuracyFactor = toFloat("player accuracy");
    // A weapon saves these counts in its block, whose reader refuses negative ones.
    block.magazineCapacity = toInt("magazine capacity", 0, kMaxDefinitionCount);
    // One trigger pull fires this many bullets.
    block.bulletsPerShot = toInt("bullets per shot", 0, WeaponDefinitionBlock::kMaxBulletsPerShot);
    block.spread = toFloat("spread");
    block.maxMagazines = toInt("magazine limit", 0, kMaxDefinitionCount);
    block.effectiveRange = toFloat("effective range");
    block.range = toFloat("range");
    block.noise = toInt("noise", 0, WeaponDefinitionBlock::kMaxNoise);
    block.fireInterval = toFloat("fire interval");
    block.burstLength = toInt("burst length", -1, kMaxDefinitionCount);
    block.singleShotAllowed = lines.Next().rfind('0', 0) != 0;
    block.skillIndex = toInt("skill index", 0, WeaponDefinitionBlock::kMaxSkillIndex);
    CopyBounded(block.boneName, lines.Next());
    block.heldModel = lines.Next();
    block.damage = toFloat("damage");
    block.bulletValue2 = toFloat("second bullet value");
    block.targetRating = toFloat("target rating");
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
                               definition.classDataOffset, block, definition.path);
}
