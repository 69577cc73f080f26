#include "platform/os/Directory.h"
#include "platform/os/File.h"
#include "platform/os/Path.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::os::ResolvePath;

// A fresh folder per test, made the working folder, as the game runs inside its data folder.
class OsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "bexal-os-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        previous = fs::current_path();
        fs::current_path(root);
    }

    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(root);
    }

    static void Write(const fs::path& path, std::string_view bytes)
    {
        fs::create_directories(fs::path(path).parent_path().empty() ? "." : fs::path(path).parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    static std::string ReadAll(std::FILE* file)
    {
        std::string text;
        char chunk[7]; // small, so reads cross many chunk edges
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            text.append(chunk, got);
        return text;
    }

    fs::path root;
    fs::path previous;
};

TEST_F(OsFileTest, ResolvesCaseAndSlashesToTheExistingPath)
{
    Write("GameData/Models/Box.Q3D", "box");
    Write("GameData/readme.TXT", "readme");
    Write("Saves/a.sav", "a");

    struct Case {
        const char* asked;
        const char* expected; // empty: nothing matches
    };
    const Case cases[] = {
        {"GameData/Models/Box.Q3D", "GameData/Models/Box.Q3D"},
        {"gamedata/models/box.q3d", "GameData/Models/Box.Q3D"},
        {"GAMEDATA\\MODELS\\BOX.Q3D", "GameData/Models/Box.Q3D"},
        {"GameData\\Models/box.q3d", "GameData/Models/Box.Q3D"},
        {"GameData//Models/box.q3d", "GameData/Models/Box.Q3D"},
        {"./gamedata/README.txt", "./GameData/readme.TXT"},
        {"gamedata/models/../README.txt", "GameData/Models/../readme.TXT"},
        {"gamedata/models", "GameData/Models"},
        {"gamedata/missing.txt", ""},
        {"missing/box.q3d", ""},
        {"GameData/Models/Box.Q3D/more", ""},
        {"saves/A.SAV", "Saves/a.sav"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        const auto resolved = ResolvePath(c.asked);
        if (*c.expected == '\0') {
            EXPECT_FALSE(resolved.has_value());
        } else {
            ASSERT_TRUE(resolved.has_value());
            EXPECT_EQ(*resolved, c.expected);
        }
    }
}

TEST_F(OsFileTest, ResolvesAbsolutePathsAndPrefersTheExactName)
{
    Write("Data/a.txt", "lower");
    Write("Data/A.txt", "upper");
    Write("Data/b.txt", "b");

    EXPECT_EQ(ResolvePath("Data/a.txt"), "Data/a.txt");
    EXPECT_EQ(ResolvePath("Data/A.txt"), "Data/A.txt");
    // Neither spelling asked for: the first in byte order, whatever order the folder lists.
    EXPECT_EQ(ResolvePath("data/A.TXT"), "Data/A.txt");

    const std::string absolute = (root / "DATA" / "B.TXT").string();
    EXPECT_EQ(ResolvePath(absolute), (root / "Data" / "b.txt").string());
}

TEST_F(OsFileTest, WritesGoIntoTheExistingFolderUnderTheNameGiven)
{
    fs::create_directories("Saves");
    std::FILE* file = platform::os::OpenFile("SAVES\\New.sav", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("x", file);
    std::fclose(file);
    EXPECT_TRUE(fs::exists("Saves/New.sav"));
    EXPECT_EQ(platform::os::OpenFile("NoFolder/New.sav", "wb"), nullptr);

    // Writing to a file that exists in another case replaces that file.
    file = platform::os::OpenFile("saves/new.SAV", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("yz", file);
    std::fclose(file);
    EXPECT_EQ(fs::file_size("Saves/New.sav"), 2u);
    EXPECT_FALSE(fs::exists("Saves/new.SAV"));
}

TEST_F(OsFileTest, TextModeDropsTheCarriageReturnOfEachLineEnd)
{
    const std::string crlf = "first\r\n\r\nthird line\r\nlone\rcr\r\nlast";
    Write("Data/Text.txt", crlf);

    std::FILE* text = platform::os::OpenFile("data/text.TXT", "rt");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(ReadAll(text), "first\n\nthird line\nlone\rcr\nlast");

    // The size and offsets are those of the text without the dropped bytes.
    ASSERT_EQ(std::fseek(text, 0, SEEK_END), 0);
    EXPECT_EQ(std::ftell(text), 30);
    ASSERT_EQ(std::fseek(text, 7, SEEK_SET), 0);
    char line[64];
    ASSERT_NE(std::fgets(line, sizeof line, text), nullptr);
    EXPECT_STREQ(line, "third line\n");
    EXPECT_EQ(std::ftell(text), 18);
    std::fclose(text);

    // "r" is text mode as well; fgets sees the empty line.
    text = platform::os::OpenFile("Data/Text.txt", "r");
    ASSERT_NE(text, nullptr);
    std::vector<std::string> lines;
    while (std::fgets(line, sizeof line, text))
        lines.emplace_back(line);
    std::fclose(text);
    EXPECT_EQ(lines, (std::vector<std::string>{"first\n", "\n", "third line\n", "lone\rcr\n", "last"}));

    std::FILE* binary = platform::os::OpenFile("Data/Text.txt", "rb");
    ASSERT_NE(binary, nullptr);
    EXPECT_EQ(ReadAll(binary), crlf);
    std::fclose(binary);
}

TEST_F(OsFileTest, OpenRefusesFoldersMissingFilesAndBadModes)
{
    Write("Data/x.txt", "x");
    EXPECT_EQ(platform::os::OpenFile("Data", "rb"), nullptr);
    EXPECT_EQ(platform::os::OpenFile("data", "rt"), nullptr);
    EXPECT_EQ(platform::os::OpenFile("Data/y.txt", "rb"), nullptr);
    EXPECT_EQ(platform::os::OpenFile("Data/x.txt", "q"), nullptr);
    EXPECT_EQ(platform::os::OpenFile(nullptr, "rb"), nullptr);

    Write("Data/empty.txt", "");
    std::FILE* empty = platform::os::OpenFile("Data/EMPTY.txt", "rt");
    ASSERT_NE(empty, nullptr);
    char line[8];
    EXPECT_EQ(std::fgets(line, sizeof line, empty), nullptr);
    EXPECT_TRUE(std::feof(empty));
    std::fclose(empty);
}

TEST(OsPathSplit, SplitsLikeTheWindowsSplitter)
{
    struct Case {
        const char* path;
        const char* drive;
        const char* dir;
        const char* fname;
        const char* ext;
    };
    const Case cases[] = {
        {"GameData/Models/box.q3d", "", "GameData/Models/", "box", ".q3d"},
        {"C:\\Game\\Maps\\map.tar.gz", "C:", "\\Game\\Maps\\", "map.tar", ".gz"},
        {"readme", "", "", "readme", ""},
        {"Saves/", "", "Saves/", "", ""},
        {"dir.v2/file", "", "dir.v2/", "file", ""},
        {".hidden", "", "", "", ".hidden"},
        {"mixed\\slash/name.", "", "mixed\\slash/", "name", "."},
        {"", "", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const platform::os::PathParts parts = platform::os::SplitPath(c.path);
        EXPECT_EQ(parts.drive, c.drive);
        EXPECT_EQ(parts.dir, c.dir);
        EXPECT_EQ(parts.fname, c.fname);
        EXPECT_EQ(parts.ext, c.ext);
    }
}

TEST(OsPathWildcard, MatchesWithoutRegardToCase)
{
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.mis", "Demo.MIS", true},
        {"*.mis", "demo.mis.bak", false},
        {"*.mis", "mis", false},
        {"*", "anything", true},
        {"*.*", "noextension", true},
        {"save??.sav", "SAVE01.sav", true},
        {"save??.sav", "save1.sav", false},
        {"*_lod1.gr2", "Tank_LOD1.gr2", true},
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},
        {"", "", true},
        {"", "x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.name);
        EXPECT_EQ(platform::os::MatchWildcard(c.pattern, c.name), c.matches);
    }
}

TEST_F(OsFileTest, ListsMatchingEntriesSortedByName)
{
    for (const char* name : {"b.sav", "A.SAV", "c.sav", "notes.txt", "a2.sav"})
        Write(fs::path("Saves") / name, "x");
    fs::create_directories("Saves/Folder.sav");
    Write("first.mis", "m");
    Write("Second.MIS", "m");

    std::vector<std::string> names;
    for (const auto& entry : platform::os::ListDirectory("saves\\*.sav"))
        names.push_back(entry.name + (entry.isDirectory ? "/" : ""));
    EXPECT_EQ(names, (std::vector<std::string>{"A.SAV", "a2.sav", "b.sav", "c.sav", "Folder.sav/"}));

    names.clear();
    for (const auto& entry : platform::os::ListDirectory("*.mis"))
        names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"first.mis", "Second.MIS"}));

    EXPECT_TRUE(platform::os::ListDirectory("Missing/*.sav").empty());
    EXPECT_EQ(platform::os::ListDirectory("SAVES/").size(), 6u);
}

} // namespace
