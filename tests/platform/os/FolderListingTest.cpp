#include "platform/os/Directory.h"
#include "platform/os/File.h"
#include "platform/os/FolderListing.h"
#include "platform/os/Path.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::os::ResolvePath;

// A fresh working folder per test, and a wall clock the test chooses for the listing cache.
class FolderListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "bexal-listing-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        previous = fs::current_path();
        fs::current_path(root);
    }

    void TearDown() override
    {
        platform::os::SetFolderListingClock({});
        fs::current_path(previous);
        fs::remove_all(root);
    }

    // Far past every folder's last change: every listing read is kept, so only the cache's own
    // checks stand between a lookup and a stale answer.
    static void KeepEveryListing()
    {
        platform::os::SetFolderListingClock([] { return std::numeric_limits<std::int64_t>::max() / 2; });
    }

    static std::int64_t ChangeTime(const fs::path& folder)
    {
        struct stat info;
        EXPECT_EQ(::stat(folder.c_str(), &info), 0);
        return static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    }

    static void Write(const fs::path& path, std::string_view bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    static std::vector<std::string> Names(std::string_view pattern)
    {
        std::vector<std::string> names;
        for (const auto& entry : platform::os::ListDirectory(pattern))
            names.push_back(entry.name);
        return names;
    }

    static std::string Contents(const char* path)
    {
        platform::os::FileHandle file(platform::os::OpenFile(path, "rb"));
        if (!file)
            return "<not found>";
        char buffer[64];
        return std::string(buffer, std::fread(buffer, 1, sizeof buffer, file.get()));
    }

    fs::path root;
    fs::path previous;
};

TEST_F(FolderListingTest, FindsTheExactNameFirstThenTheFirstCaseInsensitiveMatch)
{
    std::vector<platform::os::FolderEntry> entries;
    for (const char* name : {"b.txt", "Readme.TXT", "README.txt", "readme.txt", "a.txt"})
        entries.push_back({name, "", 0});
    for (auto& entry : entries) {
        entry.folded = entry.name;
        for (char& c : entry.folded)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const platform::os::FolderListing listing(std::move(entries));

    struct Case {
        const char* asked;
        const char* found; // null: none
    };
    const Case cases[] = {
        {"readme.txt", "readme.txt"}, {"Readme.TXT", "Readme.TXT"}, {"README.TXT", "README.txt"},
        {"B.TXT", "b.txt"},           {"c.txt", nullptr},           {"readme.tx", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        const platform::os::FolderEntry* entry = listing.Find(c.asked);
        if (!c.found) {
            EXPECT_EQ(entry, nullptr);
        } else {
            ASSERT_NE(entry, nullptr);
            EXPECT_EQ(entry->name, c.found);
        }
    }
}

// Files created, renamed and removed through the layer are seen by the next lookup, in any case,
// however long the listings would otherwise be kept.
TEST_F(FolderListingTest, LookupsSeeTheProgramsOwnChangesAtOnce)
{
    fs::create_directories("Saves");
    KeepEveryListing();
    EXPECT_FALSE(ResolvePath("saves/slot1.sav"));
    EXPECT_TRUE(Names("saves/*.sav").empty());

    std::FILE* file = platform::os::OpenFile("SAVES\\Slot1.sav", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("one", file);
    std::fclose(file);
    EXPECT_EQ(ResolvePath("saves/SLOT1.SAV"), "Saves/Slot1.sav");
    EXPECT_EQ(Contents("saves/slot1.sav"), "one");
    EXPECT_EQ(Names("saves/*.sav"), std::vector<std::string>{"Slot1.sav"});

    ASSERT_EQ(platform::os::RenameFile("saves/slot1.SAV", "Saves/Slot2.sav"), 0);
    EXPECT_TRUE(fs::exists("Saves/Slot2.sav"));
    EXPECT_FALSE(ResolvePath("saves/slot1.sav"));
    EXPECT_EQ(Contents("saves/slot1.sav"), "<not found>");
    EXPECT_EQ(ResolvePath("SAVES/slot2.sav"), "Saves/Slot2.sav");
    EXPECT_EQ(Contents("saves\\SLOT2.SAV"), "one");
    EXPECT_EQ(Names("saves/*.sav"), std::vector<std::string>{"Slot2.sav"});

    // A rename onto a name that exists in another case replaces that file.
    file = platform::os::OpenFile("saves/slot3.sav", "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    ASSERT_EQ(platform::os::RenameFile("saves/slot3.sav", "SAVES/SLOT2.SAV"), 0);
    EXPECT_EQ(Names("saves/*.sav"), std::vector<std::string>{"Slot2.sav"});
    EXPECT_EQ(Contents("saves/slot2.sav"), "");

    ASSERT_EQ(platform::os::RemoveFile("saves/SLOT2.sav"), 0);
    EXPECT_FALSE(ResolvePath("saves/slot2.sav"));
    EXPECT_TRUE(Names("saves/*.sav").empty());

    errno = 0;
    EXPECT_EQ(platform::os::RemoveFile("saves/slot2.sav"), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(platform::os::RenameFile("saves/missing.sav", "saves/other.sav"), -1);
    EXPECT_EQ(platform::os::RenameFile("Missing/a.sav", "saves/other.sav"), -1);
}

// A folder changed moments ago is read again at every lookup: a second change within the same
// tick of the file-time clock would leave its times as they were.
TEST_F(FolderListingTest, ARecentlyChangedFolderIsNotKept)
{
    fs::create_directories("Data");
    Write("Data/a.txt", "a");
    const std::int64_t changed = ChangeTime("Data");
    platform::os::SetFolderListingClock([changed] { return changed + 1'000'000; });

    EXPECT_EQ(ResolvePath("data/A.TXT"), "Data/a.txt");
    EXPECT_FALSE(ResolvePath("data/B.TXT"));
    Write("Data/B.txt", "b"); // not through the layer
    EXPECT_EQ(ResolvePath("data/b.txt"), "Data/B.txt");
    fs::rename("Data/B.txt", "Data/C.txt");
    EXPECT_FALSE(ResolvePath("data/b.txt"));
    EXPECT_EQ(ResolvePath("data/c.txt"), "Data/C.txt");
    fs::remove("Data/a.txt");
    EXPECT_FALSE(ResolvePath("data/a.txt"));
    EXPECT_EQ(Names("DATA/*.txt"), std::vector<std::string>{"C.txt"});
}

// A kept listing belongs to the folder it was read from: another folder put in its place by
// other means is read afresh.
TEST_F(FolderListingTest, AFolderReplacedByOtherMeansIsReadAfresh)
{
    fs::create_directories("Data");
    Write("Data/old.txt", "old");
    KeepEveryListing();
    EXPECT_EQ(ResolvePath("data/OLD.txt"), "Data/old.txt");

    fs::rename("Data", "Previous");
    fs::create_directories("Data");
    Write("Data/New.txt", "new");
    EXPECT_FALSE(ResolvePath("data/OLD.txt"));
    EXPECT_EQ(ResolvePath("data/new.TXT"), "Data/New.txt");
    EXPECT_EQ(Names("data/*"), std::vector<std::string>{"New.txt"});
}

// Kept listings answer for the folder as it is, not for the working folder they were read in.
TEST_F(FolderListingTest, ChangingTheWorkingFolderDoesNotReuseAnotherFoldersListing)
{
    fs::create_directories("One/Inner");
    fs::create_directories("Two/Inner");
    Write("One/Inner/first.txt", "1");
    Write("Two/Inner/second.txt", "2");
    KeepEveryListing();

    fs::current_path(root / "One");
    EXPECT_EQ(ResolvePath("INNER/FIRST.TXT"), "Inner/first.txt");
    fs::current_path(root / "Two");
    EXPECT_FALSE(ResolvePath("INNER/FIRST.TXT"));
    EXPECT_EQ(ResolvePath("inner/Second.txt"), "Inner/second.txt");
    fs::current_path(root);
}

} // namespace
