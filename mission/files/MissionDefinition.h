#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One objective of a mission file: an 804-byte little-endian record.
struct MissionObjective {
    static constexpr std::size_t RecordSize = 804;
    static constexpr int TextSize = 64;
    static constexpr int SoundFileSize = 256;
    static constexpr int PrerequisiteCount = 5;
    static constexpr int TargetCount = 32;
    static constexpr int ReservedSize = 264;

    std::int32_t kind = 0;                 // 0 primary, anything else secondary
    char text[TextSize] = {};              // shown as the next objective
    char completionText[TextSize] = {};    // shown when the objective is completed
    char soundFile[SoundFileSize] = {};    // spoken on completion; empty for none
    std::int32_t prerequisites[PrerequisiteCount] = {-1, -1, -1, -1, -1}; // 1-based objective numbers
    std::int32_t targets[TargetCount];     // trigger IDs that must have fired, -1 none
    std::uint8_t reserved[ReservedSize] = {};
    std::uint8_t completed = 0;            // cleared at every level start

    MissionObjective();

    // From RecordSize bytes. A text that fills its field without a terminator is cut to its last
    // byte; the name of each such field is appended to unterminated when given.
    void ReadRecord(const std::uint8_t* record, std::vector<std::string>* unterminated = nullptr);
    // RecordSize bytes; the three alignment bytes after completed are written as 0.
    void WriteRecord(std::uint8_t* record) const;
};

// The contents of a ".mis" file: the 45840-byte header of version 8 and the objective records that
// follow it. Files of versions 3 to 7 hold a prefix of the header; the rest keeps its defaults.
class MissionDefinition {
public:
    static constexpr std::size_t HeaderSize = 45840;
    static constexpr int CurrentVersion = 8;
    static constexpr int PathSize = 256;
    static constexpr int SoldierCount = 4;
    static constexpr int SoldierNameSize = 64;
    static constexpr int SoldierModelSize = 32;
    static constexpr int ItemsPerSoldier = 5;
    static constexpr int ItemNameSize = 64;
    static constexpr int RequiredItemCount = 5;
    static constexpr int ProtectedTargetCount = 5;
    static constexpr int OverallObjectiveSize = 1024;
    static constexpr int BriefingTextCount = 4;
    static constexpr int BriefingTextSize = 10000;

    MissionDefinition();

    // Every field back to its default; the objectives are freed.
    void Reset();
    // False when the file does not open through the pack-file system (the definition is then
    // reset). A damaged file (too short, a version below 1, an objective count that is negative or
    // larger than the file holds) raises q3DError and leaves the definition reset. Texts without
    // a terminator are cut to their field and logged.
    bool Load(const char* path);
    void FreeObjectives();

    // The header record, field by field, little-endian. ReadHeader takes objectiveCount as
    // written and leaves the objective records alone; the objective pointer's 4 bytes are
    // ignored on reading and written as 0.
    void ReadHeader(const std::uint8_t* header, std::vector<std::string>* unterminated = nullptr);
    void WriteHeader(std::uint8_t* header) const;

    std::int32_t version = CurrentVersion;
    char title[PathSize] = {};
    char mapPath[PathSize] = {};          // empty: no mission
    char carriedPath1[PathSize] = {};     // at 516; no reader, kept as read
    char briefingImage[PathSize] = {};
    std::int32_t briefingImageX = 128;
    std::int32_t briefingImageY = 128;
    std::int32_t objectiveCount = 0;
    std::vector<MissionObjective> objectives; // objectiveCount records once loaded
    std::int32_t requiredItems[RequiredItemCount];
    std::int32_t protectedTargets[ProtectedTargetCount];
    char soldierNames[SoldierCount][SoldierNameSize] = {};
    char soldierModels[SoldierCount][SoldierModelSize] = {};
    char soldierItems[SoldierCount][ItemsPerSoldier][ItemNameSize] = {};
    std::int32_t soldierValues[SoldierCount];
    std::int32_t carriedValue = -1;       // at 2764; no reader, kept as read
    char carriedPath2[PathSize] = {};     // at 2768
    char artImage[PathSize] = {};
    char carriedPath3[PathSize] = {};     // at 3280
    char overallObjective[OverallObjectiveSize] = {};
    char briefingTexts[BriefingTextCount][BriefingTextSize] = {};
    char briefingMovie[PathSize] = {};
    char aiStatsFile[PathSize] = {};
    char musicFile1[PathSize] = {};
    char musicFile2[PathSize] = {};
    char voiceFolder[PathSize] = {};
};
