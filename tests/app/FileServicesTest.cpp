// The multiplayer logs with their rotation, folder deletion, configuration lines, the map-prop
// arena and the "camalphafade" effect.
#include "AppFixture.h"

#include "app/framework/ArenaAlloc.h"
#include "app/framework/CamAlphaFadeEffect.h"
#include "app/framework/FileHelpers.h"
#include "engine/filesystem/PackFile.h"

#include <cstring>
#include <regex>

namespace fs = std::filesystem;

namespace {

std::string LogName(int number)
{
    return "multiplayer" + std::to_string(number) + ".log";
}

} // namespace

TEST_F(AppTest, MultiplayerLogTakesTheFirstFreeFileAndRotatesWhenAllAreUsed)
{
    const struct {
        const char* what;
        std::vector<std::string> before;  // contents of multiplayer0..9.log; "" = no file, "<dir>" a folder
        std::vector<std::string> after;   // "*" = the new session's line only
    } cases[] = {
        {"none yet", {}, {"*"}},
        {"first in use", {"old 0"}, {"old 0", "*"}},
        {"an empty one is taken", {"old 0", "old 1", "", "old 3"}, {"old 0", "old 1", "*", "old 3"}},
        {"all used", {"log 0", "log 1", "log 2", "log 3", "log 4", "log 5", "log 6", "log 7", "log 8", "log 9"},
         {"log 1", "log 2", "log 3", "log 4", "log 5", "log 6", "log 7", "log 8", "log 9", "*"}},
        // The oldest cannot be deleted: nothing moves and the newest log is continued, not lost.
        {"rotation fails", {"<dir>", "log 1", "log 2", "log 3", "log 4", "log 5", "log 6", "log 7", "log 8", "log 9"},
         {"<dir>", "log 1", "log 2", "log 3", "log 4", "log 5", "log 6", "log 7", "log 8", "log 9*"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        for (int i = 0; i < 10; ++i)
            fs::remove_all(LogName(i));
        for (std::size_t i = 0; i < row.before.size(); ++i) {
            if (row.before[i] == "<dir>") {
                fs::create_directory(LogName(int(i)));
                WriteText(LogName(int(i)) + "/inside", "keep");
            } else if (!row.before[i].empty()) {
                WriteText(LogName(int(i)), row.before[i]);
            }
        }
        DestroySingletons();
        Application* application = Application::Instance();
        application->OpenMultiplayerLog();
        ASSERT_TRUE(application->IsMultiplayerLogOpen());
        application->WriteMultiplayerLog(false, "session");
        application->CloseMultiplayerLog();
        for (std::size_t i = 0; i < 10; ++i) {
            std::string expected = i < row.after.size() ? row.after[i] : "";
            if (expected == "<dir>") {
                EXPECT_TRUE(fs::is_directory(LogName(int(i))));
                continue;
            }
            if (!expected.empty() && expected.back() == '*')
                expected = expected.substr(0, expected.size() - 1) + "session\r\n";
            EXPECT_EQ(ReadText(LogName(int(i))), expected) << LogName(int(i));
        }
    }
}

TEST_F(AppTest, MultiplayerLogLinesCarryATimeStampWhenAsked)
{
    Application* application = Application::Instance();
    application->WriteMultiplayerLog(false, "before opening");
    application->OpenMultiplayerLog();
    application->WriteMultiplayerLog(false, "plain");
    application->WriteMultiplayerLog(true, "stamped");
    application->WriteMultiplayerLog(false, "");
    application->WriteMultiplayerLog(false, nullptr);
    application->WriteMultiplayerLog(false, std::string(1793, 'x').c_str());
    application->AddChatLine(1, 1, 1, "chat goes to the log too");
    application->OpenMultiplayerLog();
    application->CloseMultiplayerLog();
    const std::string text = ReadText("multiplayer0.log");
    const std::regex expected("plain\r\n"
                              "[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} stamped\r\n"
                              "chat goes to the log too\r\n"
                              "[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} Starting new log session\r\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_F(AppTest, DeletingAFolderNeverFollowsLinks)
{
    fs::create_directories("tree/sub");
    fs::create_directories("outside");
    WriteText("tree/a.txt", "a");
    WriteText("tree/b.log", "b");
    WriteText("tree/sub/c.txt", "c");
    WriteText("outside/keep.txt", "keep");
    fs::create_directory_symlink(folder / "outside", "tree/linked");
    fs::create_symlink(folder / "outside/keep.txt", "tree/sub/alias.txt");

    EXPECT_TRUE(DeleteDirectory("tree", false, "*.txt"));
    EXPECT_FALSE(fs::exists("tree/a.txt"));
    EXPECT_FALSE(fs::exists("tree/sub/c.txt"));
    EXPECT_FALSE(fs::exists(fs::symlink_status("tree/sub/alias.txt")));
    EXPECT_TRUE(fs::exists("tree/b.log"));
    EXPECT_TRUE(fs::is_symlink("tree/linked"));
    EXPECT_EQ(ReadText("outside/keep.txt"), "keep");

    EXPECT_TRUE(DeleteDirectory("TREE", true, "*"));  // names resolve without regard to case
    EXPECT_FALSE(fs::exists(fs::symlink_status("tree")));
    EXPECT_EQ(ReadText("outside/keep.txt"), "keep");

    // A link named as the folder goes as a link.
    fs::create_directory_symlink(folder / "outside", "pointer");
    EXPECT_TRUE(DeleteDirectory("pointer", true, "*"));
    EXPECT_FALSE(fs::exists(fs::symlink_status("pointer")));
    EXPECT_EQ(ReadText("outside/keep.txt"), "keep");

    for (const char* refused : {"", "/", "//"})
        EXPECT_FALSE(DeleteDirectory(refused, false, "*.never-there")) << refused;
    EXPECT_FALSE(DeleteDirectory(nullptr, true, "*"));
}

TEST_F(AppTest, ConfigLinesLoseCommentsAndTrailingSeparators)
{
    WriteText("settings.txt", "// heading\n\nfirst, \t,\r\nsecond // note\n\r\nthird");
    PackFile* file = PackFileOpen("settings.txt", "rb");
    ASSERT_NE(file, nullptr);
    char line[64];
    std::vector<std::string> lines;
    while (ReadConfigLine(file, line, sizeof line))
        lines.push_back(line);
    EXPECT_EQ(line[0], '\0');
    PackFileClose(file);
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "third"}));

    file = PackFileOpen("settings.txt", "rb");
    char small[4];
    ASSERT_TRUE(ReadConfigLine(file, small, sizeof small));
    EXPECT_STREQ(small, "fir");
    PackFileClose(file);
    EXPECT_EQ(FileLength("settings.txt"), 45u);
    EXPECT_EQ(FileLength("missing.txt"), 0u);
}

TEST(ArenaTest, PropsComeFromChainedBlocks)
{
    ArenaFreeAll();
    auto* a = static_cast<std::byte*>(ArenaAlloc(100));
    auto* b = static_cast<std::byte*>(ArenaAlloc(8));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(b - a, 112);  // one aligned step further in the same block
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % alignof(std::max_align_t), 0u);
    auto* c = static_cast<std::byte*>(ArenaAlloc(9900));  // does not fit: a new block
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c < a || c >= a + 10000);
    auto* big = static_cast<std::byte*>(ArenaAlloc(50000));  // larger than a block: one of its own
    ASSERT_NE(big, nullptr);
    std::memset(big, 0x5A, 50000);
    EXPECT_EQ(ArenaAlloc(std::size_t(-1)), nullptr);
    ArenaFreeAll();
}

TEST_F(AppTest, CamAlphaFadeIsRegisteredWhileTheApplicationRuns)
{
    OpenDevice();
    LinkDemoData();
    Application* application = Application::Instance();
    application->Enter();
    FadedPositions().count = 3;
    Effect* effect = device->CreateEffect("camalphafade", nullptr);
    ASSERT_NE(effect, nullptr);
    EXPECT_NE(dynamic_cast<CamAlphaFadeEffect*>(effect), nullptr);
    EXPECT_STREQ(effect->name, "camalphafade");
    EXPECT_EQ(std::uint32_t(effect->nameHash), PackFileHashName("camalphafade"));
    EXPECT_EQ(FadedPositions().count, 0);
    device->FreeEffect(&effect);
    EXPECT_EQ(effect, nullptr);
    application->Leave();
    EXPECT_EQ(device->CreateEffect("camalphafade", nullptr), nullptr);
}
