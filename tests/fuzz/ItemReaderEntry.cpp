#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "items/ItemDefinition.h"
#include "items/WeaponDefinitionBlock.h"

namespace readers {

namespace {

bool Terminated(const char* text, std::size_t size) { return std::memchr(text, '\0', size) != nullptr; }

} // namespace

std::string ReadItemDefinitionBytes(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ItemDefinition definition;
    ParseItemDefinition(text, "GameData/Items/fuzz.idf", definition);
    if (definition.unitCount < -1 || definition.unitCount > kMaxDefinitionCount)
        return "the unit count is out of range";
    if (!std::isfinite(definition.totalWeight) || !std::isfinite(definition.baseWeight) ||
        !std::isfinite(definition.unitWeight))
        return "a weight is not finite";
    for (const char* name : {definition.name, definition.keyword})
        if (!Terminated(name, 40))
            return "a text is not terminated";
    if (definition.classDataOffset < 0 || std::size_t(definition.classDataOffset) > size)
        return "the class data offset lies outside the text";

    WeaponDefinitionBlock block;
    ParseWeaponDefinitionBlock(text, definition.classDataOffset, block, definition.path);
    if (block.magazineCapacity < 0 || block.magazineCapacity > kMaxDefinitionCount)
        return "the magazine capacity is out of range";
    if (block.bulletsPerShot < 0 || block.bulletsPerShot > WeaponDefinitionBlock::kMaxBulletsPerShot)
        return "the bullets per shot are out of range";
    if (block.maxMagazines < 0 || block.maxMagazines > kMaxDefinitionCount || block.burstLength < -1 ||
        block.burstLength > kMaxDefinitionCount || block.noise < 0 || block.noise > WeaponDefinitionBlock::kMaxNoise)
        return "a count is out of range";
    if (block.skillIndex < 0 || block.skillIndex > WeaponDefinitionBlock::kMaxSkillIndex)
        return "the skill index is out of range";
    for (float value : {block.aiAccuracyFactor, block.playerAccuracyFactor, block.spread, block.effectiveRange,
                        block.range, block.fireInterval, block.damage, block.bulletValue2, block.targetRating})
        if (!std::isfinite(value))
            return "a number is not finite";
    if (!Terminated(block.boneName, sizeof block.boneName))
        return "the bone name is not terminated";
    if (block.classDataEnd < 0 || std::size_t(block.classDataEnd) > size)
        return "the block's end lies outside the text";
    return {};
}

} // namespace readers
