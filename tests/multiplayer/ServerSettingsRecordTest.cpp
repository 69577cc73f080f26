#include "multiplayer/ServerSettings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& record, std::size_t at)
{
    return record[at] | record[at + 1] << 8 | record[at + 2] << 16 | std::uint32_t(record[at + 3]) << 24;
}

ServerSettings Changed()
{
    ServerSettings settings;
    std::strcpy(settings.messageOfTheDay, "Welcome");
    std::strcpy(settings.serverName, "Loopback");
    settings.respawnTime = 4500;
    settings.looseItemTime = 0;
    settings.indiscriminateMines = 1;
    settings.mineSpawnRadius = 300;
    settings.noThirdPerson = 1;
    settings.lives = 3;
    settings.enemyLives = 7;
    settings.friendlyFire = 1;
    settings.friendlyFireAreaDamage = 1;
    settings.mapCycleTime = 20;
    settings.cycleScore = -5;
    settings.aiLimit = 4;
    settings.intermission = 9;
    settings.rounds = 2;
    settings.gameType = 1;
    settings.teamCount = 8;
    settings.autobalanceTeams = 1;
    settings.noEnemies = 1;
    settings.permissions[0] = 0;
    settings.permissions[1] = 1;
    return settings;
}

} // namespace

TEST(ServerSettingsRecordTest, DefaultsLieAtTheirOffsetsLittleEndian)
{
    const std::vector<std::uint8_t> record = ServerSettings{}.WriteRecord();
    ASSERT_EQ(record.size(), ServerSettings::RecordSize);
    EXPECT_EQ(U32At(record, 478), 3000u);
    EXPECT_EQ(U32At(record, 482), 30000u);
    EXPECT_EQ(record[489], 0xFF);
    EXPECT_EQ(record[490], 0xFF);
    EXPECT_EQ(record[492], 255);
    EXPECT_EQ(record[493], 255);
    EXPECT_EQ(record[502], 5);
    EXPECT_EQ(record[503], 1);
    EXPECT_EQ(U32At(record, 504), 2u);
    EXPECT_EQ(record[511], 1);
    EXPECT_EQ(record[512], 1);
    EXPECT_EQ(record[0], 0);
    EXPECT_EQ(record[120], 0);
}

TEST(ServerSettingsRecordTest, EveryNamedFieldSurvivesTheRecord)
{
    const ServerSettings written = Changed();
    const std::vector<std::uint8_t> record = written.WriteRecord();
    ServerSettings read;
    std::string error;
    ASSERT_TRUE(read.ReadRecord(record.data(), record.size(), error)) << error;
    EXPECT_STREQ(read.messageOfTheDay, "Welcome");
    EXPECT_STREQ(read.serverName, "Loopback");
    EXPECT_EQ(read.respawnTime, 4500);
    EXPECT_EQ(read.looseItemTime, 0);
    EXPECT_EQ(read.indiscriminateMines, 1);
    EXPECT_EQ(read.mineSpawnRadius, 300);
    EXPECT_EQ(read.noThirdPerson, 1);
    EXPECT_EQ(read.lives, 3);
    EXPECT_EQ(read.enemyLives, 7);
    EXPECT_EQ(read.friendlyFire, 1);
    EXPECT_EQ(read.friendlyFireAreaDamage, 1);
    EXPECT_EQ(read.mapCycleTime, 20);
    EXPECT_EQ(read.cycleScore, -5);
    EXPECT_EQ(read.aiLimit, 4);
    EXPECT_EQ(read.intermission, 9);
    EXPECT_EQ(read.rounds, 2);
    EXPECT_EQ(read.gameType, 1);
    EXPECT_EQ(read.teamCount, 8);
    EXPECT_EQ(read.autobalanceTeams, 1);
    EXPECT_EQ(read.noEnemies, 1);
    EXPECT_EQ(read.permissions[0], 0);
    EXPECT_EQ(read.permissions[1], 1);
}

TEST(ServerSettingsRecordTest, TextsAreCutToTheirFieldsWithTheirTerminators)
{
    ServerSettings long_;
    std::memset(long_.messageOfTheDay, 'm', sizeof long_.messageOfTheDay - 1);
    std::memset(long_.serverName, 's', sizeof long_.serverName - 1);
    const std::vector<std::uint8_t> record = long_.WriteRecord();
    ServerSettings read;
    std::string error;
    ASSERT_TRUE(read.ReadRecord(record.data(), record.size(), error)) << error;
    EXPECT_EQ(std::string(read.messageOfTheDay), std::string(49, 'm'));
    EXPECT_EQ(std::string(read.serverName), std::string(29, 's'));
}

TEST(ServerSettingsRecordTest, ABadRecordIsRefusedWithItsReasonAndChangesNothing)
{
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
        const char* reason;
    };
    const Case cases[] = {
        {"one byte short", [](auto& r) { r.pop_back(); }, "2063 bytes"},
        {"one byte over", [](auto& r) { r.push_back(0); }, "2065 bytes"},
        {"empty", [](auto& r) { r.clear(); }, "0 bytes"},
        {"message of the day unterminated", [](auto& r) { std::memset(r.data(), 'x', 50); }, "unterminated"},
        {"server name unterminated", [](auto& r) { std::memset(r.data() + 120, 'x', 30); }, "unterminated"},
        {"game type 3", [](auto& r) { r[504] = 3; }, "game type 3"},
        {"game type negative", [](auto& r) { r[504] = r[505] = r[506] = r[507] = 0xFF; }, "game type -1"},
        {"nine teams", [](auto& r) { r[508] = 9; }, "9 teams"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint8_t> record = Changed().WriteRecord();
        row.spoil(record);
        ServerSettings kept;
        std::string error;
        EXPECT_FALSE(kept.ReadRecord(record.data(), record.size(), error));
        EXPECT_NE(error.find(row.reason), std::string::npos) << error;
        EXPECT_EQ(kept.respawnTime, 3000);
        EXPECT_EQ(kept.gameType, 2);
        EXPECT_STREQ(kept.serverName, "");
    }
    ServerSettings kept;
    std::string error;
    EXPECT_FALSE(kept.ReadRecord(nullptr, ServerSettings::RecordSize, error));
}
