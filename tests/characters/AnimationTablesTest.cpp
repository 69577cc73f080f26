#include "characters/body/AnimationTables.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/support/ErrorText.h"

namespace {

using Names = std::vector<std::string>;

struct NamesCase {
    const char* label;
    std::string text;
    std::size_t maxCount;
    Names names;
};

} // namespace

TEST(AnimationTablesTest, AnimationNamesTable)
{
    const std::string longName(300, 'x');
    const NamesCase cases[] = {
        {"one name a line, comment after the comma", "Idle,stand still\nWalk\nRun, fast\n", 16,
         {"Idle", "Walk", "Run"}},
        {"CRLF and no final newline", "Idle\r\nWalk\r\nRun", 16, {"Idle", "Walk", "Run"}},
        {"comment and blank lines skipped", "// names\n\nIdle\n\r\n/Walk\nRun\n", 16, {"Idle", "Run"}},
        {"an empty name ends the list", "Idle\n,nothing\nWalk\n", 16, {"Idle"}},
        {"blanks are part of the name", " Crouch Walk ,x\n", 16, {" Crouch Walk "}},
        {"empty file", "", 16, {}},
        {"surplus names dropped", "A\nB\nC\nD\n", 2, {"A", "B"}},
        {"long name cut to the slot", longName + ",x\nNext\n", 16, {std::string(255, 'x'), "Next"}},
    };
    for (const NamesCase& c : cases)
        EXPECT_EQ(ParseAnimationNames(c.text, c.maxCount, "animinfo.txt"), c.names) << c.label;
}

TEST(AnimationTablesTest, AnimationNamesFromAFileAndTheMissingFileError)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "bexal-animinfo-XXXXXX").string();
    const int descriptor = mkstemp(pattern.data());
    ASSERT_GE(descriptor, 0);
    close(descriptor);
    {
        std::ofstream out(pattern, std::ios::binary);
        out << "Stand,0\r\nKneel,1\r\n";
    }
    EXPECT_EQ(ReadAnimationNames(pattern.c_str(), 64), (Names{"Stand", "Kneel"}));
    std::filesystem::remove(pattern);
    EXPECT_EQ(ErrorText([&] { ReadAnimationNames(pattern.c_str(), 64); }), "Can't load " + pattern);
}

TEST(AnimationTablesTest, AnimationOptionsTable)
{
    const std::vector<AnimationOption> options = ParseAnimationOptions(
        "Idle01.gr2 1\n"
        "Walk02.gr2\t3 1.5\r\n"
        "\n"
        "   \n"
        "Run01.gr2 0 0.75 trailing words\n"
        "NoCount01.gr2\n"
        "BadCount01.gr2 x\n"
        "Negative01.gr2 -2\n"
        "BadSpeed01.gr2 2 fast\n"
        "Huge01.gr2 99999999999999\n" +
            std::string("Long") + std::string(200, 'n') + "01.gr2 4\n",
        "animoptions.txt");
    ASSERT_EQ(options.size(), 5u);
    EXPECT_EQ(options[0].fileName, "Idle01.gr2");
    EXPECT_EQ(options[0].loopCount, 1);
    EXPECT_FALSE(options[0].hasSpeed);
    EXPECT_EQ(options[1].fileName, "Walk02.gr2");
    EXPECT_EQ(options[1].loopCount, 3);
    EXPECT_TRUE(options[1].hasSpeed);
    EXPECT_FLOAT_EQ(options[1].speed, 1.5f);
    EXPECT_EQ(options[2].loopCount, 0);
    EXPECT_FLOAT_EQ(options[2].speed, 0.75f);
    EXPECT_EQ(options[3].fileName, "BadSpeed01.gr2");
    EXPECT_FALSE(options[3].hasSpeed);
    EXPECT_EQ(options[3].speed, 1.0f);
    EXPECT_EQ(options[4].fileName.size(), 4u + 200 + 6);  // lines are kept whole, beyond 80 characters
}

TEST(AnimationTablesTest, OptionsAreFoundIgnoringCaseAndAZeroLoopCountIsNoListedCount)
{
    const std::vector<AnimationOption> options =
        ParseAnimationOptions("idle01.GR2 1\nWalk01.gr2 0\nWalk02.gr2 2\nIDLE01.gr2 5\n", "animoptions.txt");
    ASSERT_NE(FindAnimationOption(options, "IDLE01.gr2"), nullptr);
    EXPECT_EQ(FindAnimationOption(options, "Idle01.gr2")->loopCount, 1);  // the first line wins
    EXPECT_EQ(FindAnimationOption(options, "Idle02.gr2"), nullptr);
    EXPECT_EQ(ListedLoopCount(options, VariationFileName("Idle", 1)), 1);
    EXPECT_EQ(ListedLoopCount(options, VariationFileName("Walk", 1)), -1);
    EXPECT_EQ(ListedLoopCount(options, VariationFileName("Walk", 2)), 2);
    EXPECT_EQ(ListedLoopCount(options, "Run01.gr2"), -1);
    EXPECT_EQ(VariationFileName("Reload", 12), "Reload12.gr2");
}

TEST(AnimationTablesTest, FolderOptionsComeBeforeTheSharedOnesAndAMissingFileAddsNothing)
{
    const auto folder = std::filesystem::temp_directory_path() / ("bexal-animoptions-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string own = (folder / "own.txt").string();
    const std::string shared = (folder / "shared.txt").string();
    std::ofstream(own) << "Idle01.gr2 2\n";
    std::ofstream(shared) << "Idle01.gr2 7\nWalk01.gr2 3\n";
    std::vector<AnimationOption> options;
    ReadAnimationOptions(own.c_str(), options);
    ReadAnimationOptions((folder / "missing.txt").string().c_str(), options);
    ReadAnimationOptions(shared.c_str(), options);
    std::filesystem::remove_all(folder);
    ASSERT_EQ(options.size(), 3u);
    EXPECT_EQ(ListedLoopCount(options, "idle01.gr2"), 2);
    EXPECT_EQ(ListedLoopCount(options, "walk01.gr2"), 3);
}
