#include "mission/files/MissionDefinition.h"

#include "engine/filesystem/PackFile.h"
#include "tests/engine/filesystem/PackFileFixture.h"
#include "tests/support/ErrorText.h"
#include "tools/demodata/writers/MissionWriter.h"
#include "tools/demodata/writers/ZipWriter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// Each test works in a fresh working folder with no archive open, as the pack-file tests do.
class MissionFileTest : public PackFileTest {};

std::string Pattern(std::size_t size, char first)
{
    std::string text;
    for (std::size_t i = 0; i < size; ++i)
        text += char(first + char(i % 23));
    return text;
}

constexpr std::size_t kLastPageLength = 9900;

// Every field set apart from its default, so a field read from the wrong place or left at its
// default shows.
MissionFileContents SampleMission(int version)
{
    MissionFileContents c;
    c.version = version;
    c.title = "Operation Tin Roof: Night Crossing";
    c.mapPath = "Maps/Crossing/Crossing.txt";
    c.path516 = "Extra/at516.dat";
    c.briefingImage = "GameData/Briefing/crossing.tga";
    c.briefingImageX = 40;
    c.briefingImageY = 72;
    const std::int32_t required[5] = {7, 12, -1, -1, 3};
    const std::int32_t protectedIds[5] = {101, -1, -1, -1, 205};
    std::copy(std::begin(required), std::end(required), c.requiredItems);
    std::copy(std::begin(protectedIds), std::end(protectedIds), c.protectedTargets);
    const char* names[4] = {"Hale", "Okafor", "", "Brandt"};
    const char* models[4] = {"Rifleman", "Medic", "", "Sniper"};
    for (int s = 0; s < 4; ++s) {
        c.soldierNames[s] = names[s];
        c.soldierModels[s] = models[s];
        for (int i = 0; i < 5; ++i)
            c.soldierItems[s][i] = "item " + std::to_string(s) + "." + std::to_string(i);
    }
    const std::int32_t values[4] = {3, 1, 0, 7};
    std::copy(std::begin(values), std::end(values), c.soldierValues);
    c.value2764 = 42;
    c.path2768 = "Extra/at2768.dat";
    c.artImage = "GameData/Briefing/art.tga";
    c.path3280 = "Extra/at3280.dat";
    c.overallObjective = "Hold the bridge until dawn.";
    c.briefingTexts[0] = "Page one.\r\nThe river is high.";
    c.briefingTexts[1] = "Page two.";
    c.briefingTexts[2] = "Page three.";
    c.briefingTexts[3] = Pattern(kLastPageLength, 'a');
    c.briefingMovie = "Movies/crossing.avi";
    c.aiStatsFile = "GameData/AI/Hard.txt";
    c.musicFile1 = "Sound/Music/Tense01.ogg";
    c.musicFile2 = "Sound/Music/Tense02.ogg";
    c.voiceFolder = "Sound/VoiceB";

    MissionObjectiveContents first;
    first.kind = 0;
    first.text = "Reach the bridge";
    first.completionText = "Bridge reached";
    first.soundFile = "Sound/Voice/bridge.wav";
    first.targets[0] = 11;
    first.targets[31] = 12;
    first.reserved[0] = 0x5A;
    first.reserved[263] = 0xA5;
    first.completed = 1;
    MissionObjectiveContents second;
    second.kind = 2;
    second.text = "Blow the charges";
    second.completionText = "Charges blown";
    second.prerequisites[0] = 1;
    second.prerequisites[4] = 1;
    second.targets[5] = 77;
    c.objectives = {first, second};
    return c;
}

void ExpectObjectives(const MissionDefinition& d, const MissionFileContents& c)
{
    ASSERT_EQ(d.objectiveCount, std::int32_t(c.objectives.size()));
    ASSERT_EQ(d.objectives.size(), c.objectives.size());
    for (std::size_t i = 0; i < c.objectives.size(); ++i) {
        SCOPED_TRACE("objective " + std::to_string(i));
        const MissionObjective& got = d.objectives[i];
        const MissionObjectiveContents& want = c.objectives[i];
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_STREQ(got.text, want.text.c_str());
        EXPECT_STREQ(got.completionText, want.completionText.c_str());
        EXPECT_STREQ(got.soundFile, want.soundFile.c_str());
        for (int p = 0; p < 5; ++p)
            EXPECT_EQ(got.prerequisites[p], want.prerequisites[p]) << p;
        for (int t = 0; t < 32; ++t)
            EXPECT_EQ(got.targets[t], want.targets[t]) << t;
        EXPECT_EQ(0, std::memcmp(got.reserved, want.reserved, sizeof(got.reserved)));
        EXPECT_EQ(got.completed, want.completed);
    }
}

TEST_F(MissionFileTest, ResetDefaultsMatchTheFileLayoutOfAnEmptyMission)
{
    MissionDefinition d;
    EXPECT_EQ(d.version, 8);
    EXPECT_EQ(d.briefingImageX, 128);
    EXPECT_EQ(d.briefingImageY, 128);
    EXPECT_EQ(d.objectiveCount, 0);
    EXPECT_TRUE(d.objectives.empty());
    EXPECT_EQ(d.requiredItems[4], -1);
    EXPECT_EQ(d.protectedTargets[0], -1);
    EXPECT_EQ(d.soldierValues[3], 1);
    EXPECT_EQ(d.carriedValue, -1);
    EXPECT_STREQ(d.mapPath, "");
    EXPECT_STREQ(d.aiStatsFile, "GameData/AI/AIStats.txt");
    EXPECT_STREQ(d.musicFile1, "Sound/Music/LongAmbient01.ogg");
    EXPECT_STREQ(d.musicFile2, "Sound/Music/LongAmbient02.ogg");
    EXPECT_STREQ(d.voiceFolder, "Sound/Voice");

    // The reader's record and the writer's agree on every default and every offset.
    std::vector<std::uint8_t> header(MissionDefinition::HeaderSize, 0xEE);
    d.WriteHeader(header.data());
    EXPECT_EQ(header, WriteMissionHeader(MissionFileContents{}));

    MissionObjective objective;
    std::vector<std::uint8_t> record(MissionObjective::RecordSize, 0xEE);
    objective.WriteRecord(record.data());
    EXPECT_EQ(record, WriteMissionObjective(MissionObjectiveContents{}));
}

std::int32_t IntAt(const std::vector<std::uint8_t>& b, std::size_t offset)
{
    return std::int32_t(std::uint32_t(b[offset]) | std::uint32_t(b[offset + 1]) << 8 | std::uint32_t(b[offset + 2]) << 16 |
                        std::uint32_t(b[offset + 3]) << 24);
}

std::string TextAt(const std::vector<std::uint8_t>& b, std::size_t offset)
{
    return std::string(reinterpret_cast<const char*>(b.data() + offset));
}

// The published offsets, pinned independently of both the reader and the writer.
TEST_F(MissionFileTest, RecordsKeepTheirPublishedOffsets)
{
    MissionDefinition d;
    d.version = 9;
    std::strcpy(d.title, "title");
    std::strcpy(d.mapPath, "map");
    std::strcpy(d.carriedPath1, "p516");
    std::strcpy(d.briefingImage, "image");
    d.briefingImageX = 11;
    d.briefingImageY = 12;
    d.objectiveCount = 13;
    d.requiredItems[0] = 14;
    d.protectedTargets[4] = 15;
    std::strcpy(d.soldierNames[1], "name1");
    std::strcpy(d.soldierModels[3], "model3");
    std::strcpy(d.soldierItems[1][2], "item12");
    d.soldierValues[3] = 16;
    d.carriedValue = 17;
    std::strcpy(d.carriedPath2, "p2768");
    std::strcpy(d.artImage, "art");
    std::strcpy(d.carriedPath3, "p3280");
    std::strcpy(d.overallObjective, "overall");
    std::strcpy(d.briefingTexts[2], "page2");
    std::strcpy(d.briefingMovie, "movie");
    std::strcpy(d.aiStatsFile, "ai");
    std::strcpy(d.musicFile1, "m1");
    std::strcpy(d.musicFile2, "m2");
    std::strcpy(d.voiceFolder, "voice");
    std::vector<std::uint8_t> b(MissionDefinition::HeaderSize);
    d.WriteHeader(b.data());
    EXPECT_EQ(IntAt(b, 0), 9);
    EXPECT_EQ(TextAt(b, 4), "title");
    EXPECT_EQ(TextAt(b, 260), "map");
    EXPECT_EQ(TextAt(b, 516), "p516");
    EXPECT_EQ(TextAt(b, 772), "image");
    EXPECT_EQ(IntAt(b, 1028), 11);
    EXPECT_EQ(IntAt(b, 1032), 12);
    EXPECT_EQ(IntAt(b, 1036), 13);
    EXPECT_EQ(IntAt(b, 1040), 0);
    EXPECT_EQ(IntAt(b, 1044), 14);
    EXPECT_EQ(IntAt(b, 1064 + 16), 15);
    EXPECT_EQ(TextAt(b, 1084 + 64), "name1");
    EXPECT_EQ(TextAt(b, 1340 + 3 * 32), "model3");
    EXPECT_EQ(TextAt(b, 1468 + (1 * 5 + 2) * 64), "item12");
    EXPECT_EQ(IntAt(b, 2748 + 12), 16);
    EXPECT_EQ(IntAt(b, 2764), 17);
    EXPECT_EQ(TextAt(b, 2768), "p2768");
    EXPECT_EQ(TextAt(b, 3024), "art");
    EXPECT_EQ(TextAt(b, 3280), "p3280");
    EXPECT_EQ(TextAt(b, 3536), "overall");
    EXPECT_EQ(TextAt(b, 4560 + 2 * 10000), "page2");
    EXPECT_EQ(TextAt(b, 44560), "movie");
    EXPECT_EQ(TextAt(b, 44816), "ai");
    EXPECT_EQ(TextAt(b, 45072), "m1");
    EXPECT_EQ(TextAt(b, 45328), "m2");
    EXPECT_EQ(TextAt(b, 45584), "voice");

    MissionObjective o;
    o.kind = 3;
    std::strcpy(o.text, "text");
    std::strcpy(o.completionText, "done");
    std::strcpy(o.soundFile, "sound");
    o.prerequisites[4] = 21;
    o.targets[31] = 22;
    o.reserved[0] = 0x77;
    o.completed = 1;
    std::vector<std::uint8_t> r(MissionObjective::RecordSize, 0xEE);
    o.WriteRecord(r.data());
    EXPECT_EQ(IntAt(r, 0), 3);
    EXPECT_EQ(TextAt(r, 4), "text");
    EXPECT_EQ(TextAt(r, 68), "done");
    EXPECT_EQ(TextAt(r, 132), "sound");
    EXPECT_EQ(IntAt(r, 388 + 16), 21);
    EXPECT_EQ(IntAt(r, 408 + 31 * 4), 22);
    EXPECT_EQ(r[536], 0x77);
    EXPECT_EQ(r[800], 1);
    EXPECT_EQ(r[801] | r[802] | r[803], 0);
}

TEST_F(MissionFileTest, VersionEightFileReadsBackFieldByField)
{
    const MissionFileContents c = SampleMission(8);
    WriteBytes("Missions/crossing.mis", WriteMissionFile(c));
    MissionDefinition d;
    ASSERT_TRUE(d.Load("missions\\CROSSING.mis"));

    EXPECT_EQ(d.version, 8);
    EXPECT_STREQ(d.title, c.title.c_str());
    EXPECT_STREQ(d.mapPath, c.mapPath.c_str());
    EXPECT_STREQ(d.carriedPath1, c.path516.c_str());
    EXPECT_STREQ(d.briefingImage, c.briefingImage.c_str());
    EXPECT_EQ(d.briefingImageX, 40);
    EXPECT_EQ(d.briefingImageY, 72);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(d.requiredItems[i], c.requiredItems[i]) << i;
        EXPECT_EQ(d.protectedTargets[i], c.protectedTargets[i]) << i;
    }
    for (int s = 0; s < 4; ++s) {
        EXPECT_STREQ(d.soldierNames[s], c.soldierNames[s].c_str());
        EXPECT_STREQ(d.soldierModels[s], c.soldierModels[s].c_str());
        for (int i = 0; i < 5; ++i)
            EXPECT_STREQ(d.soldierItems[s][i], c.soldierItems[s][i].c_str()) << s << "." << i;
        EXPECT_EQ(d.soldierValues[s], c.soldierValues[s]);
    }
    EXPECT_EQ(d.carriedValue, 42);
    EXPECT_STREQ(d.carriedPath2, c.path2768.c_str());
    EXPECT_STREQ(d.artImage, c.artImage.c_str());
    EXPECT_STREQ(d.carriedPath3, c.path3280.c_str());
    EXPECT_STREQ(d.overallObjective, c.overallObjective.c_str());
    for (int page = 0; page < 4; ++page)
        EXPECT_STREQ(d.briefingTexts[page], c.briefingTexts[page].c_str()) << page;
    EXPECT_STREQ(d.briefingMovie, c.briefingMovie.c_str());
    EXPECT_STREQ(d.aiStatsFile, c.aiStatsFile.c_str());
    EXPECT_STREQ(d.musicFile1, c.musicFile1.c_str());
    EXPECT_STREQ(d.musicFile2, c.musicFile2.c_str());
    EXPECT_STREQ(d.voiceFolder, c.voiceFolder.c_str());
    ExpectObjectives(d, c);
}

TEST_F(MissionFileTest, VersionEightHeaderAndObjectivesRoundTripByteForByte)
{
    const std::vector<std::uint8_t> file = WriteMissionFile(SampleMission(8));
    ASSERT_EQ(file.size(), MissionDefinition::HeaderSize + 2 * MissionObjective::RecordSize);
    WriteBytes("roundtrip.mis", file);
    MissionDefinition d;
    ASSERT_TRUE(d.Load("roundtrip.mis"));

    std::vector<std::uint8_t> written(MissionDefinition::HeaderSize + 2 * MissionObjective::RecordSize);
    d.WriteHeader(written.data());
    for (std::size_t i = 0; i < d.objectives.size(); ++i)
        d.objectives[i].WriteRecord(written.data() + MissionDefinition::HeaderSize +
                                    i * MissionObjective::RecordSize);
    EXPECT_EQ(written, file);

    // The written record reads back into the same definition.
    MissionDefinition copy;
    copy.ReadHeader(written.data());
    std::vector<std::uint8_t> again(MissionDefinition::HeaderSize);
    copy.WriteHeader(again.data());
    EXPECT_TRUE(std::equal(again.begin(), again.end(), file.begin()));
}

// Older files hold a prefix of the header: each row says which of the later fields come from the
// file; the rest keep their defaults.
struct OldVersionCase {
    int version;
    std::size_t fileSize;         // header part only
    bool tailFromFile;            // soldierItems[2][2] onward, through the third briefing page
    std::size_t lastPageLength;   // characters of the fourth page taken from the file
    bool movieAndAiFromFile;
    bool music1FromFile;
    bool music2FromFile;
    bool voiceFromFile;
};

const OldVersionCase kOldVersions[] = {
    {2, 2236, false, 0, false, false, false, false},
    {3, 2236 + 256 + 42324, true, kLastPageLength, false, false, false, false},
    {4, 2236 + 256 + 42068, true, 9744, false, false, false, false},
    {5, 45072, true, kLastPageLength, true, false, false, false},
    {6, 45328, true, kLastPageLength, true, true, false, false},
    {7, 45584, true, kLastPageLength, true, true, true, false},
    {8, 45840, true, kLastPageLength, true, true, true, true},
    {12, 45840, true, kLastPageLength, true, true, true, true},
};

TEST_F(MissionFileTest, OlderVersionsReadTheirPrefixAndKeepDefaultsBeyondIt)
{
    const MissionDefinition defaults;
    for (const OldVersionCase& row : kOldVersions) {
        SCOPED_TRACE("version " + std::to_string(row.version));
        const MissionFileContents c = SampleMission(row.version);
        const std::vector<std::uint8_t> file = WriteMissionFile(c);
        ASSERT_EQ(file.size(), row.fileSize + 2 * MissionObjective::RecordSize);
        const std::string path = "old" + std::to_string(row.version) + ".mis";
        WriteBytes(path, file);

        MissionDefinition d;
        ASSERT_TRUE(d.Load(path.c_str()));
        EXPECT_EQ(d.version, row.version);
        EXPECT_STREQ(d.title, c.title.c_str());
        EXPECT_STREQ(d.mapPath, c.mapPath.c_str());
        EXPECT_EQ(d.briefingImageX, 40);
        EXPECT_EQ(d.requiredItems[4], 3);
        EXPECT_STREQ(d.soldierModels[3], "Sniper");
        EXPECT_STREQ(d.soldierItems[2][1], "item 2.1");

        const bool tail = row.tailFromFile;
        EXPECT_STREQ(d.soldierItems[2][2], tail ? "item 2.2" : "");
        EXPECT_STREQ(d.soldierItems[3][4], tail ? "item 3.4" : "");
        EXPECT_EQ(d.soldierValues[2], tail ? 0 : 1);
        EXPECT_EQ(d.soldierValues[3], tail ? 7 : 1);
        EXPECT_EQ(d.carriedValue, tail ? 42 : -1);
        EXPECT_STREQ(d.artImage, tail ? c.artImage.c_str() : "");
        EXPECT_STREQ(d.overallObjective, tail ? c.overallObjective.c_str() : "");
        EXPECT_STREQ(d.briefingTexts[0], tail ? c.briefingTexts[0].c_str() : "");
        EXPECT_STREQ(d.briefingTexts[2], tail ? c.briefingTexts[2].c_str() : "");
        EXPECT_EQ(std::string(d.briefingTexts[3]), c.briefingTexts[3].substr(0, row.lastPageLength));

        EXPECT_STREQ(d.briefingMovie, row.movieAndAiFromFile ? c.briefingMovie.c_str() : "");
        EXPECT_STREQ(d.aiStatsFile, row.movieAndAiFromFile ? c.aiStatsFile.c_str() : defaults.aiStatsFile);
        EXPECT_STREQ(d.musicFile1, row.music1FromFile ? c.musicFile1.c_str() : defaults.musicFile1);
        EXPECT_STREQ(d.musicFile2, row.music2FromFile ? c.musicFile2.c_str() : defaults.musicFile2);
        EXPECT_STREQ(d.voiceFolder, row.voiceFromFile ? c.voiceFolder.c_str() : defaults.voiceFolder);
        ExpectObjectives(d, c);
    }
}

TEST_F(MissionFileTest, NoObjectivesReadsNoRecords)
{
    MissionFileContents c = SampleMission(8);
    c.objectives.clear();
    std::vector<std::uint8_t> file = WriteMissionFile(c);
    file.insert(file.end(), {1, 2, 3}); // trailing bytes are not objective records
    WriteBytes("none.mis", file);
    MissionDefinition d;
    ASSERT_TRUE(d.Load("none.mis"));
    EXPECT_EQ(d.objectiveCount, 0);
    EXPECT_TRUE(d.objectives.empty());
    EXPECT_STREQ(d.voiceFolder, "Sound/VoiceB");
}

TEST_F(MissionFileTest, MissingFileReturnsFalseAndLeavesTheDefinitionReset)
{
    WriteBytes("present.mis", WriteMissionFile(SampleMission(8)));
    MissionDefinition d;
    ASSERT_TRUE(d.Load("present.mis"));
    ASSERT_EQ(d.objectives.size(), 2u);

    EXPECT_FALSE(d.Load("absent.mis"));
    EXPECT_STREQ(d.title, "");
    EXPECT_STREQ(d.mapPath, "");
    EXPECT_EQ(d.objectiveCount, 0);
    EXPECT_TRUE(d.objectives.empty());
    EXPECT_EQ(d.soldierValues[0], 1);
    EXPECT_STREQ(d.voiceFolder, "Sound/Voice");

    d.Load("present.mis");
    d.FreeObjectives();
    EXPECT_TRUE(d.objectives.empty());
}

TEST_F(MissionFileTest, MissionInsideAnArchiveLoadsThroughThePackFileLayer)
{
    const MissionFileContents c = SampleMission(6);
    ZipWriter zip;
    zip.Add("packed.mis", WriteMissionFile(c), ZipWriter::Method::Deflated);
    std::vector<std::uint8_t> hostile = WriteMissionFile(SampleMission(8));
    hostile[1036] = 0xFF; // objective count 255 in a member that holds two records
    zip.Add("hostile.mis", hostile, ZipWriter::Method::Deflated);
    WriteBytes("Missions.qa", zip.Finish());

    MissionDefinition d;
    ASSERT_TRUE(d.Load("Missions/packed.mis"));
    EXPECT_EQ(d.version, 6);
    EXPECT_STREQ(d.musicFile1, "Sound/Music/Tense01.ogg");
    EXPECT_STREQ(d.musicFile2, "Sound/Music/LongAmbient02.ogg");
    ExpectObjectives(d, c);

    EXPECT_EQ(ErrorText([&] { d.Load("Missions/hostile.mis"); }),
              "Invalid objective count 255 in Missions/hostile.mis");
    EXPECT_TRUE(d.objectives.empty());
}

void PutInt(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int32_t value)
{
    StoreLittle32(bytes, offset, std::uint32_t(value));
}

struct HostileCase {
    const char* name;
    std::function<std::vector<std::uint8_t>()> bytes;
    const char* error; // with %s for the path
};

const HostileCase kHostile[] = {
    {"empty", [] { return std::vector<std::uint8_t>(); }, "Unexpected end of %s in the mission version"},
    {"three bytes", [] { return std::vector<std::uint8_t>{8, 0, 0}; }, "Unexpected end of %s in the mission version"},
    {"header cut short",
     [] {
         auto b = WriteMissionFile(SampleMission(8));
         b.resize(45000);
         return b;
     },
     "Unexpected end of %s in the mission header"},
    {"version 7 cut short",
     [] {
         auto b = WriteMissionFile(SampleMission(7));
         b.resize(45583);
         return b;
     },
     "Unexpected end of %s in the mission header"},
    {"version 3 ends in its skipped block",
     [] {
         auto b = WriteMissionFile(SampleMission(3));
         b.resize(2236 + 100);
         return b;
     },
     "Unexpected end of %s in the mission header"},
    {"version 0",
     [] {
         auto b = WriteMissionFile(SampleMission(8));
         PutInt(b, 0, 0);
         return b;
     },
     "Unknown mission file version 0 in %s"},
    {"negative version",
     [] {
         auto b = WriteMissionFile(SampleMission(8));
         PutInt(b, 0, -8);
         return b;
     },
     "Unknown mission file version -8 in %s"},
    {"negative objective count",
     [] {
         auto b = WriteMissionFile(SampleMission(8));
         PutInt(b, 1036, -1);
         return b;
     },
     "Invalid objective count -1 in %s"},
    {"huge objective count",
     [] {
         auto b = WriteMissionFile(SampleMission(8));
         PutInt(b, 1036, 0x7FFFFFFF);
         return b;
     },
     "Invalid objective count 2147483647 in %s"},
    {"count beyond the records present",
     [] {
         auto b = WriteMissionFile(SampleMission(8));
         PutInt(b, 1036, 3);
         return b;
     },
     "Invalid objective count 3 in %s"},
    {"last record cut short",
     [] {
         auto b = WriteMissionFile(SampleMission(8));
         b.pop_back();
         return b;
     },
     "Invalid objective count 2 in %s"},
    {"old version with a huge count",
     [] {
         auto b = WriteMissionFile(SampleMission(4));
         PutInt(b, 1036, 5000000);
         return b;
     },
     "Invalid objective count 5000000 in %s"},
};

TEST_F(MissionFileTest, DamagedFilesRaiseAClearErrorAndLeaveTheDefinitionReset)
{
    int index = 0;
    for (const HostileCase& row : kHostile) {
        SCOPED_TRACE(row.name);
        const std::string path = "hostile" + std::to_string(index++) + ".mis";
        WriteBytes(path, row.bytes());
        MissionDefinition d;
        std::strcpy(d.title, "left over");
        char expected[512];
        std::snprintf(expected, sizeof(expected), row.error, path.c_str());
        EXPECT_EQ(ErrorText([&] { d.Load(path.c_str()); }), expected);
        EXPECT_STREQ(d.title, "");
        EXPECT_EQ(d.objectiveCount, 0);
        EXPECT_TRUE(d.objectives.empty());
        EXPECT_STREQ(d.aiStatsFile, "GameData/AI/AIStats.txt");
    }
}

TEST_F(MissionFileTest, TextsWithoutTerminatorAreCutToTheirFieldAndLogged)
{
    std::vector<std::uint8_t> b = WriteMissionFile(SampleMission(8));
    auto fill = [&](std::size_t offset, std::size_t size, char c) { std::memset(b.data() + offset, c, size); };
    fill(4, 256, 'T');                 // title
    fill(1340 + 3 * 32, 32, 'M');      // soldierModels[3]
    fill(1468 + 19 * 64, 64, 'I');     // soldierItems[3][4]
    fill(4560 + 3 * 10000, 10000, 'P'); // briefingTexts[3]
    fill(45584, 256, 'V');             // voiceFolder, the last bytes of the header
    fill(45840 + 4, 64, 'O');          // text of objective 1
    fill(45840 + 804 + 132, 256, 'S'); // soundFile of objective 2
    WriteBytes("unterminated.mis", b);

    MissionDefinition d;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(d.Load("unterminated.mis"));
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_EQ(std::string(d.title), std::string(255, 'T'));
    EXPECT_EQ(std::string(d.soldierModels[3]), std::string(31, 'M'));
    EXPECT_EQ(std::string(d.soldierItems[3][4]), std::string(63, 'I'));
    EXPECT_EQ(std::string(d.briefingTexts[3]), std::string(9999, 'P'));
    EXPECT_EQ(std::string(d.voiceFolder), std::string(255, 'V'));
    ASSERT_EQ(d.objectives.size(), 2u);
    EXPECT_EQ(std::string(d.objectives[0].text), std::string(63, 'O'));
    EXPECT_EQ(std::string(d.objectives[1].soundFile), std::string(255, 'S'));
    // Neighbouring fields are untouched.
    EXPECT_STREQ(d.mapPath, "Maps/Crossing/Crossing.txt");
    EXPECT_STREQ(d.soldierItems[3][3], "item 3.3");
    EXPECT_STREQ(d.objectives[0].completionText, "Bridge reached");

    for (const char* field : {"title", "soldierModels[3]", "soldierItems[3][4]", "briefingTexts[3]", "voiceFolder",
                              "text of objective 1", "soundFile of objective 2"})
        EXPECT_NE(log.find(std::string("unterminated.mis: the text ") + field), std::string::npos)
            << field << "\n" << log;
    EXPECT_EQ(log.find("mapPath"), std::string::npos);
}

} // namespace
