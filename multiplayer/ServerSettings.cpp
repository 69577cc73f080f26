#include "multiplayer/ServerSettings.h"

#include "engine/core/LittleEndianReader.h"

#include <algorithm>

#include <cstring>

namespace {

// The message of the day's field on the wire; the current map's path follows it.
constexpr std::size_t MessageOfTheDayField = 50;
constexpr std::int32_t LastGameType = 2;
constexpr std::uint8_t MostTeams = 8;

class RecordWriter {
public:
    explicit RecordWriter(std::vector<std::uint8_t>& record) : record(record) {}

    void U8(std::size_t at, std::uint8_t value) { record[at] = value; }
    void U16(std::size_t at, std::uint16_t value)
    {
        record[at] = std::uint8_t(value);
        record[at + 1] = std::uint8_t(value >> 8);
    }
    void U32(std::size_t at, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            record[at + i] = std::uint8_t(value >> (8 * i));
    }
    // At most width - 1 characters, so that the field always holds its terminator.
    void Text(std::size_t at, const char* text, std::size_t width)
    {
        const std::size_t length = strnlen(text, width - 1);
        std::memcpy(record.data() + at, text, length);
    }

private:
    std::vector<std::uint8_t>& record;
};

// A text field that must hold its terminator.
bool ReadText(const std::uint8_t* field, std::size_t width, char* text, std::size_t textSize)
{
    const void* end = std::memchr(field, 0, width);
    if (!end)
        return false;
    const std::size_t length = std::min(static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - field), textSize - 1);
    std::memcpy(text, field, length);
    text[length] = '\0';
    return true;
}

} // namespace

void ServerSettings::SetDefaults(ServerSettings* settings)
{
    if (settings)
        *settings = ServerSettings{};
}

std::vector<std::uint8_t> ServerSettings::WriteRecord() const
{
    std::vector<std::uint8_t> record(RecordSize, 0);
    RecordWriter out(record);
    out.Text(MessageOfTheDayOffset, messageOfTheDay, MessageOfTheDayField);
    out.Text(ServerNameOffset, serverName, ServerNameSize);
    out.U32(RespawnTimeOffset, std::uint32_t(respawnTime));
    out.U32(LooseItemTimeOffset, std::uint32_t(looseItemTime));
    out.U8(IndiscriminateMinesOffset, indiscriminateMines);
    out.U16(MineSpawnRadiusOffset, std::uint16_t(mineSpawnRadius));
    out.U8(NoThirdPersonOffset, noThirdPerson);
    out.U8(LivesOffset, lives);
    out.U8(EnemyLivesOffset, enemyLives);
    out.U8(FriendlyFireOffset, friendlyFire);
    out.U8(FriendlyFireAreaDamageOffset, friendlyFireAreaDamage);
    out.U16(MapCycleTimeOffset, mapCycleTime);
    out.U16(CycleScoreOffset, std::uint16_t(cycleScore));
    out.U8(AILimitOffset, aiLimit);
    out.U8(IntermissionOffset, intermission);
    out.U8(RoundsOffset, rounds);
    out.U32(GameTypeOffset, std::uint32_t(gameType));
    out.U8(TeamCountOffset, teamCount);
    out.U8(AutobalanceTeamsOffset, autobalanceTeams);
    out.U8(NoEnemiesOffset, noEnemies);
    out.U8(PermissionOffset, permissions[0]);
    out.U8(PermissionOffset + 1, permissions[1]);
    return record;
}

bool ServerSettings::ReadRecord(const std::uint8_t* data, std::size_t size, std::string& error)
{
    if (!data) {
        error = "no server settings";
        return false;
    }
    if (size != RecordSize) {
        error = "server settings of " + std::to_string(size) + " bytes, not " + std::to_string(RecordSize);
        return false;
    }
    ServerSettings read;
    if (!ReadText(data + MessageOfTheDayOffset, MessageOfTheDayField, read.messageOfTheDay, MessageOfTheDaySize) ||
        !ReadText(data + ServerNameOffset, ServerNameSize, read.serverName, ServerNameSize)) {
        error = "server settings with an unterminated text";
        return false;
    }
    LittleEndianReader in(data + RespawnTimeOffset, size - RespawnTimeOffset);
    read.respawnTime = in.I32();
    read.looseItemTime = in.I32();
    read.indiscriminateMines = in.U8();
    in.Skip(MineSpawnRadiusOffset - IndiscriminateMinesOffset - 1); // difficulty and realism: the options' own
    read.mineSpawnRadius = in.I16();
    read.noThirdPerson = in.U8();
    read.lives = in.U8();
    read.enemyLives = in.U8();
    read.friendlyFire = in.U8();
    read.friendlyFireAreaDamage = in.U8();
    read.mapCycleTime = in.U16();
    read.cycleScore = in.I16();
    read.aiLimit = in.U8();
    in.Skip(IntermissionOffset - AILimitOffset - 1);
    read.intermission = in.U8();
    read.rounds = in.U8();
    read.gameType = in.I32();
    read.teamCount = in.U8();
    read.autobalanceTeams = in.U8();
    read.noEnemies = in.U8();
    read.permissions[0] = in.U8();
    read.permissions[1] = in.U8();
    if (in.Failed()) {
        error = "server settings " + in.Failure();
        return false;
    }
    if (read.gameType < 0 || read.gameType > LastGameType) {
        error = "server settings with game type " + std::to_string(read.gameType);
        return false;
    }
    if (read.teamCount > MostTeams) {
        error = "server settings with " + std::to_string(read.teamCount) + " teams";
        return false;
    }
    *this = read;
    return true;
}
