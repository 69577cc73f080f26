// Inputs that once broke a reader, kept as files: each is read through the entry its fuzzing
// target uses, under whatever sanitizers the build has, and must keep every promise.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/fuzz/ReaderEntries.h"
#include "world/map/MapDescription.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRegressions = fs::path(BEXAL_SOURCE_DIR) / "tests/fuzz/regressions";

std::vector<std::uint8_t> ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file of a family folder, by name.
std::map<std::string, std::vector<std::uint8_t>> Family(const char* folder)
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : fs::directory_iterator(kRegressions / folder))
        files[entry.path().filename().string()] = ReadAll(entry.path());
    return files;
}

TEST(ReaderRegressions, EveryMapFileKeepsTheReadersPromises)
{
    // Whether the reader takes the file, and a word of the reason when it does not.
    const std::map<std::string, const char*> refusals = {
        {"start-y-nan.mpb", "start y"},
        {"start-x-huge.mpb", "start x"},
        {"start-z-infinite.mpb", "start z"},
        {"cell-size-zero.mpb", "cell size"},
        {"cell-size-nan.mpb", "cell size"},
        {"cell-size-tiny.mpb", "cell size"},
        {"lighting-nan.mpb", "lighting table 0"},
        {"placement-scale-nan.mpb", "placement 0"},
        {"height-name-outside.mpb", "height map name"},
        {"model-path-outside.mpb", "model path"},
        {"height-name-leading-separator.mpb", nullptr},
        {"version-116-library.mpb", nullptr},
        {"enemy-then-missing-colmesh.mpb", nullptr},
    };
    const auto files = Family("map");
    ASSERT_EQ(files.size(), refusals.size());
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readers::ReadMapDescriptionBytes(bytes.data(), bytes.size()), "");
        ASSERT_TRUE(refusals.count(name));
        const fs::path copy = fs::path("Maps/Regression") / name;
        fs::create_directories(copy.parent_path());
        std::ofstream(copy, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      std::streamsize(bytes.size()));
        MapDescription map;
        const bool loaded = map.Load(copy.string().c_str());
        EXPECT_EQ(loaded, refusals.at(name) == nullptr) << map.GetLastError();
        if (!loaded && refusals.at(name)) {
            EXPECT_NE(std::string(map.GetLastError()).find(refusals.at(name)), std::string::npos) << map.GetLastError();
        }
    }
}

TEST(ReaderRegressions, EveryItemDefinitionKeepsTheReadersPromises)
{
    const auto files = Family("item");
    ASSERT_FALSE(files.empty());
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readers::ReadItemDefinitionBytes(bytes.data(), bytes.size()), "");
    }
}

// The other readers' families: each folder's files read through its entry.
TEST(ReaderRegressions, EveryOtherReaderFileKeepsTheReadersPromises)
{
    const struct {
        const char* folder;
        std::string (*entry)(const std::uint8_t*, std::size_t);
    } families[] = {
        {"prop", readers::ReadPropertyLineBytes},
        {"class", readers::ReadWeaponClassLinesBytes},
        {"formation", readers::ReadFormationBytes},
        {"patrol", readers::ReadPatrolPathBytes},
        {"aitext", readers::ReadAITextBytes},
        {"aifiles", readers::ReadAIFilesBytes},
        {"mission", readers::ReadMissionDefinitionBytes},
        {"missionnumbers", readers::ReadMissionNumbersBytes},
    };
    for (const auto& family : families) {
        const auto files = Family(family.folder);
        EXPECT_FALSE(files.empty()) << family.folder;
        for (const auto& [name, bytes] : files)
            EXPECT_EQ(family.entry(bytes.data(), bytes.size()), "") << family.folder << "/" << name;
    }
}

// Saved blocks are read in a folder of their own with the demo data set's "GameData" linked in,
// whose pictures the weapons load when they are made.
class SavedBlockRegressions : public testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        folder = fs::current_path() / ("saved-blocks-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::current_path(folder);
        fs::create_directory_symlink(fs::path(BEXAL_DATA_DIR) / "GameData", "GameData");
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    fs::path previous, folder;
};

TEST_F(SavedBlockRegressions, EveryBlockFileKeepsTheReadersPromises)
{
    const auto files = Family("saved");
    EXPECT_FALSE(files.empty());
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(readers::ReadSavedBlockBytes(bytes.data(), bytes.size()), "") << name;
}

// The blocks the objects' own Saves write (the saved-block target's seeds) load back and keep the
// promises, so that a definition and a block agree on what they may hold.
TEST_F(SavedBlockRegressions, EveryBlockAnObjectSavesLoadsBack)
{
    const auto blocks = readers::MakeSavedBlockSeeds();
    ASSERT_EQ(blocks.size(), 5u);
    for (const auto& block : blocks)
        EXPECT_EQ(readers::ReadSavedBlockBytes(block.data(), block.size()), "") << "object kind " << int(block[0]);
}

} // namespace
