#pragma once

#include <array>
#include <cstdint>
#include <functional>

class SaveStream;
class Soldier;

// The saved block that neutrals and dogs share: the formation prefix (FormationPrefix), the
// soldier's block, then 13 bytes: version 2, a 4-byte value, the death-line byte, three bytes
// kept, a 4-byte value. Each class puts its own types into the two values.
struct CompanionBlockTail {
    static constexpr std::uint8_t kVersion = 2;
    std::uint32_t first = 0;
    std::uint8_t deathLine = 1;
    std::array<std::uint8_t, 3> bytes{};
    std::uint32_t last = 0;
};

void SaveCompanionBlock(Soldier& soldier, SaveStream* stream, const CompanionBlockTail& tail);

// Reads the whole block into the soldier and returns its tail; check throws q3DError for a tail
// the class cannot take. On any error (a bad flag, a short block, a wrong version: the message)
// the soldier is left as it was, its formation included. A member whose leader's identifier names
// no computer-driven character stays outside any formation.
CompanionBlockTail LoadCompanionBlock(Soldier& soldier, SaveStream* stream, const char* blockName,
                                      const char* versionMessage, const char* formationFile,
                                      const std::function<void(const CompanionBlockTail&)>& check);
