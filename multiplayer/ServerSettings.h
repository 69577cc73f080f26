#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The game and server settings, a 2064-byte record on the wire. The in-memory form keeps named
// fields; the record layout (little-endian, offsets below) is written and read field by field by
// the network code. Only the fields the start-up and the options screen use are named so far.
struct ServerSettings {
    static constexpr std::size_t RecordSize = 2064;
    static constexpr std::size_t MessageOfTheDaySize = 120;
    static constexpr std::size_t ServerNameSize = 30;

    // Record offsets of the named fields.
    enum Offset : std::size_t {
        MessageOfTheDayOffset = 0,
        ServerNameOffset = 120,
        RespawnTimeOffset = 478,
        LooseItemTimeOffset = 482,
        IndiscriminateMinesOffset = 486,
        MineSpawnRadiusOffset = 489,
        NoThirdPersonOffset = 491,
        LivesOffset = 492,
        EnemyLivesOffset = 493,
        FriendlyFireOffset = 494,
        FriendlyFireAreaDamageOffset = 495,
        MapCycleTimeOffset = 496,
        CycleScoreOffset = 498,
        AILimitOffset = 500,
        IntermissionOffset = 502,
        RoundsOffset = 503,
        GameTypeOffset = 504,
        TeamCountOffset = 508,
        AutobalanceTeamsOffset = 509,
        NoEnemiesOffset = 510,
        PermissionOffset = 511,  // two bytes, 511 and 512
    };

    char messageOfTheDay[MessageOfTheDaySize] = {};
    char serverName[ServerNameSize] = {};  // at most 29 characters
    std::int32_t respawnTime = 3000;       // milliseconds
    std::int32_t looseItemTime = 30000;    // milliseconds
    std::uint8_t indiscriminateMines = 0;
    std::int16_t mineSpawnRadius = -1;     // 0xFFFF
    std::uint8_t noThirdPerson = 0;
    std::uint8_t lives = 255;
    std::uint8_t enemyLives = 255;
    std::uint8_t friendlyFire = 0;
    std::uint8_t friendlyFireAreaDamage = 0;
    std::uint16_t mapCycleTime = 0;        // minutes
    std::int16_t cycleScore = 0;
    std::uint8_t aiLimit = 0;
    std::uint8_t intermission = 5;
    std::uint8_t rounds = 1;
    std::int32_t gameType = 2;
    std::uint8_t teamCount = 0;
    std::uint8_t autobalanceTeams = 0;
    std::uint8_t noEnemies = 0;
    std::uint8_t permissions[2] = {1, 1};

    // Every field back to its default.
    static void SetDefaults(ServerSettings* settings);

    // The record as the server publishes it (RecordSize bytes): the named fields at their
    // offsets, the message of the day cut to its 50-byte field, every other byte zero.
    std::vector<std::uint8_t> WriteRecord() const;
    // Reads a record a server published. False, with the reason and the settings untouched, for
    // a record of another size, a text not terminated within its field or an unknown game type.
    bool ReadRecord(const std::uint8_t* data, std::size_t size, std::string& error);
};
