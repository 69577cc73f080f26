#pragma once

#include "items/ItemDefinition.h"

#include <cstdint>
#include <string>

// The weapon block of an ".idf" file: the 25 lines right after the common lines. Lines missing at
// the end of the file read as empty texts and zero numbers.
struct WeaponDefinitionBlock {
    static constexpr std::int32_t kMaxBulletsPerShot = 100;
    static constexpr std::int32_t kMaxNoise = 1000000;
    static constexpr std::int32_t kMaxSkillIndex = 9; // the campaign's ten skills

    float aiAccuracyFactor = 0.0f;     // line 1
    float playerAccuracyFactor = 0.0f; // line 2
    std::int32_t magazineCapacity = 0; // line 3
    std::int32_t bulletsPerShot = 0;   // line 4
    float spread = 0.0f;               // line 5
    std::int32_t maxMagazines = 0;     // line 6
    float effectiveRange = 0.0f;       // line 7
    float range = 0.0f;                // line 8
    std::int32_t noise = 0;            // line 9
    float fireInterval = 0.0f;         // line 10, seconds
    std::int32_t burstLength = 0;      // line 11, -1 = until the magazine is empty
    bool singleShotAllowed = true;     // line 12: false when the text starts with "0"
    std::int32_t skillIndex = 0;       // line 13
    char boneName[32] = {};            // line 14
    std::string heldModel;             // line 15; "none" or "N/A" = no held model
    float damage = 0.0f;               // line 16
    float bulletValue2 = 0.0f;         // line 17
    float targetRating = 0.0f;         // line 18
    std::string resourcePath[7];       // lines 19-25: the class's own file names
    std::int32_t classDataEnd = 0;     // file position after line 25

    // True unless line 15 reads "none" (any case) or "N/A".
    bool HasHeldModel() const;
};

// Reads the weapon block from the definition's text, starting at its classDataOffset. Counts are
// clamped to their bounds and numbers that are not finite read as 0, logged with the path.
void ParseWeaponDefinitionBlock(std::string_view text, std::int32_t classDataOffset, WeaponDefinitionBlock& block,
                                const char* path = "");

// Reads the definition's file again through the pack-file layer (so archived definitions work) and
// parses its weapon block. Throws q3DError "Can't load %s!" when the file cannot be opened.
void ReadWeaponDefinitionBlock(const ItemDefinition& definition, WeaponDefinitionBlock& block);
