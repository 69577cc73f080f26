#include "characters/ai/AIStats.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/characters/ai/AITestFolder.h"
#include "tests/support/ErrorText.h"

namespace {

std::string ReadBack(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class AIStatsTest : public AITestFolder {};

TEST_F(AIStatsTest, ReadsEntriesInFileOrderSkippingCommentsAndBlankLines)
{
    WriteFile("stats.txt", "// tuning\r\n"
                           "Toughness,\t0.750, how hard the enemies are\r\n"
                           "\r\n"
                           "/another comment\n"
                           "new path dist ,12.5,\n"
                           "riflery,2.5,text, with a comma");
    AIStats stats;
    stats.Load("stats.txt");
    ASSERT_EQ(stats.count, 3);
    EXPECT_EQ(stats.entries[0].name, "Toughness");
    EXPECT_FLOAT_EQ(stats.entries[0].value, 0.75f);
    EXPECT_EQ(stats.entries[0].text, " how hard the enemies are"); // leading blanks kept, CR dropped
    EXPECT_EQ(stats.entries[1].name, "new path dist "); // the name exactly as written
    EXPECT_FLOAT_EQ(stats.entries[1].value, 12.5f);
    EXPECT_EQ(stats.entries[1].text, "");
    EXPECT_EQ(stats.entries[2].text, "text, with a comma");
    EXPECT_EQ(stats.FindIndex("toughness"), 0);
    EXPECT_EQ(stats.FindIndex("TOUGHNESS"), 0);
    EXPECT_EQ(stats.FindIndex("new path dist"), -1);
    EXPECT_EQ(stats.FindIndex(nullptr), -1);
}

TEST_F(AIStatsTest, LinesWithoutCommasGiveEmptyFields)
{
    WriteFile("stats.txt", "lonely\nhalf,3\n,4,\n");
    AIStats stats;
    stats.Load("stats.txt");
    ASSERT_EQ(stats.count, 3);
    EXPECT_EQ(stats.entries[0].name, "lonely");
    EXPECT_EQ(stats.entries[0].value, 0.0f);
    EXPECT_EQ(stats.entries[0].text, "");
    EXPECT_EQ(stats.entries[1].name, "half");
    EXPECT_FLOAT_EQ(stats.entries[1].value, 3.0f);
    EXPECT_EQ(stats.entries[1].text, "");
    EXPECT_EQ(stats.entries[2].name, "");
    EXPECT_FLOAT_EQ(stats.entries[2].value, 4.0f);
}

TEST_F(AIStatsTest, AValueThatIsNotFiniteReadsAsZeroWithALogLine)
{
    WriteFile("stats.txt", "riflery,nan,x\nsniping,1e39,y\ntoughness,-inf\ngrenades,2.5,z\n");
    AIStats stats;
    const std::string log = AITestFolder::LogOf([&] { stats.Load("stats.txt"); });
    ASSERT_EQ(stats.count, 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(stats.entries[i].value, 0.0f) << stats.entries[i].name;
    EXPECT_FLOAT_EQ(stats.entries[3].value, 2.5f);
    for (const char* name : {"riflery", "sniping", "toughness"})
        EXPECT_NE(log.find(std::string("the value of ") + name + " is not a finite number"), std::string::npos) << log;
}

TEST_F(AIStatsTest, DuplicateNamesFindTheFirst)
{
    WriteFile("stats.txt", "grenades,1,first\nGrenades,2,second\n");
    AIStats stats;
    stats.Load("stats.txt");
    EXPECT_EQ(stats.FindIndex("grenades"), 0);
}

TEST_F(AIStatsTest, AMissingFileGivesAnEmptyTableWithALogLine)
{
    WriteFile("stats.txt", "a,1,x\n");
    AIStats stats;
    stats.Load("stats.txt");
    ASSERT_EQ(stats.count, 1);
    const std::string log = AITestFolder::LogOf([&] { stats.Load("GameData/AI/missing.txt"); });
    EXPECT_NE(log.find("AIStats::Load() - Can't open GameData/AI/missing.txt"), std::string::npos) << log;
    EXPECT_EQ(stats.count, 0);
    EXPECT_EQ(stats.entries, nullptr);
    EXPECT_EQ(stats.FindIndex("a"), -1);
    EXPECT_EQ(ErrorText([&] { stats.Save("out.txt"); }),
              "AIStats::Save() - No stats to save! (probably Load() was not called)");
}

TEST_F(AIStatsTest, OnlyCommentsGiveAnEmptyLoadedTableThatSavesAnEmptyFile)
{
    WriteFile("stats.txt", "// nothing\n/ here\n");
    AIStats stats;
    stats.Load("stats.txt");
    EXPECT_EQ(stats.count, 0);
    EXPECT_NE(stats.entries, nullptr);
    stats.Save("out.txt");
    EXPECT_EQ(ReadBack("out.txt"), "");
}

TEST_F(AIStatsTest, SavesThreeDecimalsAndReadsItsOwnOutputBack)
{
    WriteFile("stats.txt", "sniping,2.5, aim\nnewpathdist,0.12345,far\n");
    AIStats stats;
    stats.Load("stats.txt");
    stats.entries[0].value = 2.5f;
    stats.Save("out.txt");
    EXPECT_EQ(ReadBack("out.txt"), "sniping,\t2.500, aim\n\nnewpathdist,\t0.123,far\n\n");
    AIStats again;
    again.Load("out.txt");
    ASSERT_EQ(again.count, 2);
    EXPECT_EQ(again.entries[1].name, "newpathdist");
    EXPECT_FLOAT_EQ(again.entries[1].value, 0.123f);
    EXPECT_EQ(again.entries[0].text, " aim");
}

TEST_F(AIStatsTest, SaveToAnUnwritablePathThrows)
{
    WriteFile("stats.txt", "a,1,x\n");
    AIStats stats;
    stats.Load("stats.txt");
    std::filesystem::create_directory("folder");
    EXPECT_EQ(ErrorText([&] { stats.Save("folder"); }), "AIStats::Save() - Can't open folder");
}

TEST_F(AIStatsTest, CopiesAreBoundedAndIndicesChecked)
{
    WriteFile("stats.txt", "maxrecogdistday,300,Recognition distance by day\n");
    AIStats stats;
    stats.Load("stats.txt");
    char small[8];
    std::memset(small, 'x', sizeof small);
    stats.GetName(0, small, sizeof small);
    EXPECT_STREQ(small, "maxreco");
    char text[64] = "untouched";
    stats.GetText(1, text, sizeof text);
    stats.GetText(-1, text, sizeof text);
    EXPECT_STREQ(text, "untouched");
    stats.GetText(0, nullptr, 10);
    stats.GetText(0, text, sizeof text);
    EXPECT_STREQ(text, "Recognition distance by day");
}

TEST_F(AIStatsTest, AnOverlongLineIsCutNotSplitIntoAnotherEntry)
{
    WriteFile("stats.txt", "long,1," + std::string(3000, 'z') + "\nnext,2,y\n");
    AIStats stats;
    stats.Load("stats.txt");
    ASSERT_EQ(stats.count, 2);
    EXPECT_EQ(stats.entries[0].text.size(), AIStats::kMaxLineLength - 7);
    EXPECT_EQ(stats.entries[1].name, "next");
}

} // namespace
