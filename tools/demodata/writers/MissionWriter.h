#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A ".mis" mission file: the int32 version, the header (45840 bytes in version 8, a prefix of it
// in older versions), then one 804-byte record per objective. Little-endian throughout; texts are
// zero-filled fixed fields, cut to leave room for their terminator.
struct MissionObjectiveContents {
    std::int32_t kind = 0;
    std::string text;
    std::string completionText;
    std::string soundFile;
    std::int32_t prerequisites[5] = {-1, -1, -1, -1, -1};
    std::int32_t targets[32];
    std::uint8_t reserved[264] = {};
    std::uint8_t completed = 0;

    MissionObjectiveContents();
};

struct MissionFileContents {
    std::int32_t version = 8;
    std::string title;
    std::string mapPath;
    std::string path516;
    std::string briefingImage;
    std::int32_t briefingImageX = 128;
    std::int32_t briefingImageY = 128;
    std::int32_t requiredItems[5] = {-1, -1, -1, -1, -1};
    std::int32_t protectedTargets[5] = {-1, -1, -1, -1, -1};
    std::string soldierNames[4];
    std::string soldierModels[4];
    std::string soldierItems[4][5];
    std::int32_t soldierValues[4] = {1, 1, 1, 1};
    std::int32_t value2764 = -1;
    std::string path2768;
    std::string artImage;
    std::string path3280;
    std::string overallObjective;
    std::string briefingTexts[4];
    std::string briefingMovie;
    std::string aiStatsFile = "GameData/AI/AIStats.txt";
    std::string musicFile1 = "Sound/Music/LongAmbient01.ogg";
    std::string musicFile2 = "Sound/Music/LongAmbient02.ogg";
    std::string voiceFolder = "Sound/Voice";
    std::vector<MissionObjectiveContents> objectives; // their number is the header's objective count
};

constexpr std::size_t kMissionHeaderSize = 45840;
constexpr std::size_t kMissionObjectiveSize = 804;

// The whole version-8 header image (the version field holds contents.version).
std::vector<std::uint8_t> WriteMissionHeader(const MissionFileContents& contents);
std::vector<std::uint8_t> WriteMissionObjective(const MissionObjectiveContents& objective);
// The file as a program of contents.version wrote it: versions 5, 6 and 7 end the header after
// aiStatsFile, musicFile1 and musicFile2; versions 4 and below hold its first 2236 bytes, and
// versions 3 and 4 follow them with a 256-byte block (filled with skippedFill) and the next 42324
// (version 3) or 42068 (version 4) bytes of the header.
std::vector<std::uint8_t> WriteMissionFile(const MissionFileContents& contents, std::uint8_t skippedFill = 0xCD);
