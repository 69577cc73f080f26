#include "characters/neutral/CompanionBlock.h"

#include "characters/ai/FormationBlock.h"
#include "characters/ai/Soldier.h"
#include "engine/serial/SaveStream.h"

#include <vector>

namespace {

// Room for a soldier's block (the AI's and the character's within it).
constexpr std::size_t kSnapshotSize = 1 << 16;

} // namespace

void SaveCompanionBlock(Soldier& soldier, SaveStream* stream, const CompanionBlockTail& tail)
{
    FormationPrefix::Write(soldier, stream);
    soldier.Soldier::Save(stream);
    stream->WriteUInt8(CompanionBlockTail::kVersion);
    stream->WriteUInt32(tail.first);
    stream->WriteUInt8(tail.deathLine);
    for (std::uint8_t byte : tail.bytes)
        stream->WriteUInt8(byte);
    stream->WriteUInt32(tail.last);
}

CompanionBlockTail LoadCompanionBlock(Soldier& soldier, SaveStream* stream, const char* blockName,
                                      const char* versionMessage, const char* formationFile,
                                      const std::function<void(const CompanionBlockTail&)>& check)
{
    const FormationPrefix prefix = FormationPrefix::Read(stream, blockName);
    // The soldier's block as it stands, put back when the rest of the block fails after it.
    std::vector<std::uint8_t> before(kSnapshotSize);
    SaveStream snapshot = SaveStream::OnMemory(before.data(), std::uint32_t(before.size()));
    soldier.Soldier::Save(&snapshot);
    before.resize(snapshot.position);
    // The formation is taken before the soldier's block so that the AI block can name its
    // definition; a block that then fails leaves the character as it was.
    const bool taken = prefix.Take(soldier, formationFile);
    bool soldierRead = false;
    CompanionBlockTail tail;
    try {
        soldier.Soldier::Load(stream);
        soldierRead = true;
        stream->ExpectVersion(CompanionBlockTail::kVersion, versionMessage);
        tail.first = stream->ReadUInt32();
        tail.deathLine = stream->ReadUInt8();
        for (std::uint8_t& byte : tail.bytes)
            byte = stream->ReadUInt8();
        tail.last = stream->ReadUInt32();
        if (check)
            check(tail);
    } catch (...) {
        if (soldierRead) {
            SaveStream back = SaveStream::OnMemory(before.data(), std::uint32_t(before.size()));
            soldier.Soldier::Load(&back);
        }
        FormationPrefix::Undo(soldier, taken);
        throw;
    }
    prefix.Finish(soldier);
    return tail;
}
