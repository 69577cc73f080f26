// The options record and its two files: "Bexal.cfg" byte for byte, "keys.cfg" line for line, the
// defaults derived from the machine, and files that are missing, short, oversized or corrupt.
#include "AppFixture.h"

#include "app/framework/MachineDefaults.h"
#include "app/framework/Options.h"
#include "app/framework/OptionsFile.h"
#include "app/program/GameWiring.h"
#include "multiplayer/ProfanityFilter.h"

#include <array>
#include <cstring>

namespace {

using Values = std::array<std::int32_t, OptionCount>;

// Values that differ from the defaults wherever an option has room to.
constexpr Values fileValues = {0, 0, 0, 3, 0, 1, 0, 0, 1, 2, 0, 10, 1, 1, 1, 0, 1, 0, 1,
                               0, 50, 60, 70, 1, 1, 1, 1, 3, 4, 0, 0, 0, 2};

std::vector<std::uint8_t> OptionsFile(const Values& values, const std::string& name, const std::string& model,
                                      std::uint32_t versionBits = 0x3FDEB852)
{
    std::vector<std::uint8_t> bytes;
    Put32(bytes, versionBits);
    for (std::int32_t value : values)
        Put32(bytes, std::uint32_t(value));
    PutText(bytes, name, 25);
    PutText(bytes, model, 32);
    return bytes;
}

class OptionsTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        OpenDevice();
        // What the options hold with neither file: the machine's defaults.
        Options* options = Fresh();
        EXPECT_EQ(options->LoadConfig(), 0);
        for (int i = 0; i < OptionCount; ++i)
            defaults[std::size_t(i)] = options->GetOption(i);
        for (int action = 0; action < ActionCount; ++action)
            defaultKeys[std::size_t(action)] = options->GetKeyForAction(action);
    }

    // A new options object, as at the next start of the program, wired to the game as the
    // program wires it.
    Options* Fresh()
    {
        DestroySingletons();
        Application::Instance()->SetDevice(device);
        InstallGameHooks();
        return Options::Instance();
    }

    Values Current()
    {
        Values values;
        for (int i = 0; i < OptionCount; ++i)
            values[std::size_t(i)] = Options::Instance()->GetOption(i);
        return values;
    }

    // The log lines written since the given length.
    std::string LogSince(std::size_t length)
    {
        const std::string log = Log();
        return log.size() > length ? log.substr(length) : std::string();
    }

    Values defaults{};
    std::array<int, ActionCount> defaultKeys{};
};

} // namespace

TEST_F(OptionsTest, BexalCfgIsWrittenByteForByteAndReadBack)
{
    Options* options = Fresh();
    const Values written = {2, 0, 0, 5, 0, 1, 0, 0, 1, 2, 0, 20, 0, 0, 1, 0, 0, 0, 0,
                            0, 70, 50, 30, 4, 1, 1, 1, 9, 0, 0, 0, 0, 6};
    for (int i = 0; i < OptionCount; ++i)
        options->SetOption(i, written[std::size_t(i)]);
    options->SetPlayerName("Sgt. Rock", false);
    options->SetModelName("us02");
    ASSERT_EQ(options->SaveConfig(), 1);

    // Worked out by hand: 1.74f is 0x3FDEB852; each option 4 bytes, lowest first; the name in 25
    // bytes and the model in 32, both padded with zeros.
    const std::vector<std::uint8_t> expected = {
        0x52, 0xB8, 0xDE, 0x3F,                                                  // version
        2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0,              // 0-4
        1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,              // 5-9
        0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,             // 10-14
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,              // 15-19
        70, 0, 0, 0, 50, 0, 0, 0, 30, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0,           // 20-24
        1, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,              // 25-29
        0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0,                                      // 30-32
        'S', 'g', 't', '.', ' ', 'R', 'o', 'c', 'k', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        'u', 's', '0', '2', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    };
    ASSERT_EQ(expected.size(), 193u);
    const std::vector<std::uint8_t> file = ReadBytes("Bexal.cfg");
    EXPECT_EQ(file, expected);

    // The next start reads it all back and writes the same bytes again.
    options = Fresh();
    EXPECT_EQ(options->LoadConfig(), 1);
    EXPECT_EQ(Current(), written);
    EXPECT_STREQ(options->GetPlayerName(), "Sgt. Rock");
    EXPECT_STREQ(options->GetModelName(), "us02");
    std::filesystem::remove("Bexal.cfg");
    ASSERT_EQ(options->SaveConfig(), 1);
    EXPECT_EQ(ReadBytes("Bexal.cfg"), expected);
}

TEST_F(OptionsTest, KeysCfgIsTextOfOneLinePerActionAndReadBack)
{
    Options* options = Fresh();
    options->BindKey('K', 0);  // Move Forward
    options->BindKey(1, 13);   // Reload Weapon takes Left Mouse from Primary Item Action
    ASSERT_EQ(options->SaveConfig(), 1);
    const std::string text = ReadText("keys.cfg");
    const std::string start = "// This is the key config file for the game.\n"
                              "// Best not to change it outside of the options menu.\n"
                              "Move Forward; 75\n"
                              "Move Backward; 83\n"
                              "Move Left; 65\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(text.find("\nPrimary Item Action; -1\nSecondary Item Action; 2\n"), std::string::npos);
    EXPECT_NE(text.find("\nReload Weapon; 1\n"), std::string::npos);
    EXPECT_NE(text.find("\nCommand: Single Soldier (hold); 18\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 23), "\nUse First Aid Kit; 48\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + ActionCount);

    options = Fresh();
    options->LoadConfig();
    EXPECT_EQ(options->GetKeyForAction(0), 'K');
    EXPECT_EQ(options->GetActionForKey('W'), -1);
    EXPECT_EQ(options->GetKeyForAction(10), -1);
    EXPECT_EQ(options->GetActionForKey(1), 13);
    std::filesystem::remove("keys.cfg");
    options->SaveConfig();
    EXPECT_EQ(ReadText("keys.cfg"), text);
}

TEST_F(OptionsTest, HostileBexalCfgFallsBackForWhatCannotBeRead)
{
    const std::vector<std::uint8_t> good = OptionsFile(fileValues, "Grunt", "us07");
    auto cut = [&](std::size_t size) { return std::vector<std::uint8_t>(good.begin(), good.begin() + long(size)); };
    auto withOption = [&](int option, std::int32_t value) {
        Values values = fileValues;
        values[std::size_t(option)] = value;
        return OptionsFile(values, "Grunt", "us07");
    };
    std::vector<std::uint8_t> oversized = good;
    oversized.insert(oversized.end(), 5000, 0xAB);
    std::vector<std::uint8_t> badValues = withOption(9, 99);
    for (auto [option, value] : {std::pair{23, 2}, {20, 101}, {3, -1}, {11, 33}, {0, 0x7FFFFFFF}}) {
        for (int i = 0; i < 4; ++i)
            badValues[std::size_t(4 + 4 * option + i)] = std::uint8_t(std::uint32_t(value) >> (8 * i));
    }

    const struct {
        const char* what;
        bool present;
        std::vector<std::uint8_t> bytes;
        int optionsFromFile;            // the first n come from the file
        std::vector<int> rejected;      // of those, these fall back to the defaults
        std::string name, model;
        int result;
        const char* logged;
    } cases[] = {
        {"missing", false, {}, 0, {}, "Player", "us01", 0, "Bexal.cfg could not be loaded, using defaults"},
        {"empty", true, {}, 0, {}, "Player", "us01", 0, "Bexal.cfg is cut short"},
        {"three bytes", true, cut(3), 0, {}, "Player", "us01", 0, "Bexal.cfg is cut short"},
        {"version 1.75", true, OptionsFile(fileValues, "Grunt", "us07", 0x3FE00000), 0, {}, "Player", "us01", 0,
         "Bexal.cfg is incorrect version, using defaults."},
        {"version NaN", true, OptionsFile(fileValues, "Grunt", "us07", 0x7FC00000), 0, {}, "Player", "us01", 0,
         "Bexal.cfg is incorrect version, using defaults."},
        {"ten options", true, cut(4 + 40 + 2), 10, {}, "Player", "us01", 0, "Bexal.cfg is cut short (10 of 33"},
        {"name cut", true, cut(150), 33, {}, "Player", "us01", 0, "name missing"},
        {"model cut", true, cut(170), 33, {}, "Grunt", "us01", 0, "model missing"},
        {"oversized", true, oversized, 33, {}, "Grunt", "us07", 1, "Bexal.cfg is longer than 193 bytes"},
        {"values out of range", true, badValues, 33, {0, 3, 9, 11, 20, 23}, "Grunt", "us07", 0, "out of range"},
        {"name without its end", true, OptionsFile(fileValues, std::string(25, 'N'), "us07"), 33, {},
         std::string(24, 'N'), "us07", 1, "player name without its end"},
        {"model without its end", true, OptionsFile(fileValues, "Grunt", std::string(32, 'M')), 33, {}, "Grunt", "us01",
         0, "model name without its end"},
        {"percent in the name", true, OptionsFile(fileValues, "A%B", "us07"), 33, {}, "A B", "us07", 1, nullptr},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove("Bexal.cfg");
        if (row.present)
            WriteBytes("Bexal.cfg", row.bytes);
        const std::size_t logLength = Log().size();
        Options* options = Fresh();
        EXPECT_EQ(options->LoadConfig(), row.result);
        Values expected = defaults;
        for (int i = 0; i < row.optionsFromFile; ++i)
            expected[std::size_t(i)] = fileValues[std::size_t(i)];
        for (int option : row.rejected)
            expected[std::size_t(option)] = defaults[std::size_t(option)];
        EXPECT_EQ(Current(), expected);
        EXPECT_EQ(std::string(options->GetPlayerName()), row.name);
        EXPECT_EQ(std::string(options->GetModelName()), row.model);
        if (row.logged) {
            EXPECT_NE(LogSince(logLength).find(row.logged), std::string::npos) << LogSince(logLength);
        }
        // The keys stay at their defaults whatever "Bexal.cfg" held.
        EXPECT_EQ(options->GetKeyForAction(6), 16);
    }
}

TEST_F(OptionsTest, HostileKeysCfgLinesAreSkippedAndTheRestBound)
{
    const int run = 6, moveToPoint = 27, primary = 10, reload = 13;
    const std::string longLine = std::string(255, 'A') + "Run; 17\n";
    const struct {
        const char* what;
        std::string text;
        std::vector<std::pair<int, int>> actionKeys;  // expected (action, key)
        const char* logged;
    } cases[] = {
        {"run on control", "Run; 17\n", {{run, 17}, {moveToPoint, -1}}, nullptr},
        {"lower-case name", "run; 17\n", {{run, 16}, {moveToPoint, 17}}, "names no action"},
        {"minus one keeps the key", "Run; -1\n", {{run, 16}}, nullptr},
        {"last line without its end", "// keys\nRun; 17", {{run, 17}}, nullptr},
        {"CRLF", "Run; 17\r\nReload Weapon; 1\r\n", {{run, 17}, {reload, 1}, {primary, -1}}, nullptr},
        {"code beyond the table", "Run; 600\nReload Weapon; 1\n", {{run, 16}, {reload, 1}}, "outside 0..511"},
        {"negative code", "Run; -5\n", {{run, 16}}, "outside 0..511"},
        {"no code", "Run;\nReload Weapon; 1\n", {{run, 16}, {reload, 1}}, "has no key code"},
        {"words for a code", "Run; fast\n", {{run, 16}}, "has no key code"},
        {"no separator", "Run 17\n", {{run, 16}}, "has no ';'"},
        {"line too long", longLine, {{run, 16}}, "longer than 255 characters"},
        {"garbage", std::string("\x01\x02;\xff\n\0\0Run; 17\n", 13), {{run, 16}}, nullptr},
        {"NUL inside a line", std::string("Run; 17\0x\nReload Weapon; 1\n", 27), {{run, 16}, {reload, 1}},
         "line 1 holds a NUL byte"},
        {"NUL opening a line", std::string("// keys\n\0Run; 17\nReload Weapon; 1\n", 34), {{run, 16}, {reload, 1}},
         "line 2 holds a NUL byte"},
        {"empty", "", {{run, 16}, {moveToPoint, 17}}, nullptr},
        {"comments and blank lines", "//Run; 17\n\n\nRun; 18\n", {{run, 18}, {26, -1}}, nullptr},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        WriteText("keys.cfg", row.text);
        const std::size_t logLength = Log().size();
        Options* options = Fresh();
        options->LoadConfig();
        for (auto [action, key] : row.actionKeys) {
            EXPECT_EQ(options->GetKeyForAction(action), key) << GetActionName(action);
            if (key >= 0) {
                EXPECT_EQ(options->GetActionForKey(key), action);
            }
        }
        if (row.logged) {
            EXPECT_NE(LogSince(logLength).find(row.logged), std::string::npos) << LogSince(logLength);
        }
        // Whatever was skipped, every other action keeps its default key.
        for (int action = 28; action < ActionCount; ++action)
            EXPECT_EQ(options->GetKeyForAction(action), defaultKeys[std::size_t(action)]);
    }
}

TEST_F(OptionsTest, BindingMovesKeysBetweenActions)
{
    Options* options = Fresh();
    EXPECT_EQ(options->BindKey(17, 6), 6);  // Run on Control
    EXPECT_EQ(options->GetActionForKey(16), -1);
    EXPECT_EQ(options->GetKeyForAction(27), -1);
    EXPECT_EQ(options->BindKey(512, 6), -1);
    EXPECT_EQ(options->BindKey(-1, 6), -1);
    EXPECT_EQ(options->BindKey(5, 48), -1);
    EXPECT_EQ(options->GetKeyForAction(6), 17);
    options->ResetKeys();
    EXPECT_EQ(options->GetKeyForAction(6), 16);
    EXPECT_EQ(options->GetKeyForAction(27), 17);
    EXPECT_EQ(Log().find("Two default keys are the same action"), std::string::npos);

    const struct {
        int key;
        const char* name;
    } names[] = {{-1, "None"}, {0, "None"}, {112, "None"}, {512, "None"}, {116, "F5"}, {123, "F12"},
                 {220, "\\"}, {'Q', "Q"}, {'7', "7"}, {106, "Numpad Ast."}, {262, "Joy1"}, {273, "Joy12"},
                 {259, "Joy Down"}, {4, "Mouse Button 4"}};
    for (const auto& row : names)
        EXPECT_STREQ(options->GetKeyName(row.key), row.name) << row.key;
}

TEST(MachineDefaultsTest, TheMachineLowersTheDefaults)
{
    const std::uint64_t mb = 1048576;
    const struct {
        MachineInfo machine;
        std::vector<std::pair<int, int>> expected;  // option, value
    } cases[] = {
        // 600 MHz with 128 MB: view distance Low, detail objects Off, terrain textures Low.
        {{600, 128 * mb, true, 64 * mb, true, 1.4f}, {{9, 1}, {12, 0}, {13, 0}, {16, 0}, {14, 0}, {18, 1}}},
        {{700, 512 * mb, true, 64 * mb, true, 1.4f}, {{12, 1}, {13, 0}, {16, 1}}},
        {{900, 512 * mb, false, 64 * mb, true, 1.4f}, {{12, 0}, {13, 0}, {16, 1}}},
        {{2400, 8192 * mb, true, 256 * mb, true, 2.0f}, {{12, 1}, {13, 1}, {14, 1}, {16, 1}, {18, 1}}},
        {{2399, 8192 * mb, true, 256 * mb, false, 1.0f}, {{14, 0}, {16, 0}, {18, 0}}},
        // Memory beyond 4 GB counts in full.
        {{3000, 0x100000000ull + 1, true, 0, true, 3.0f}, {{12, 1}, {13, 1}, {16, 1}}},
    };
    for (const auto& row : cases) {
        std::int32_t options[OptionCount];
        std::memcpy(options, DefaultOptions, sizeof options);
        options[9] = 4;
        ApplyMachineDefaults(options, row.machine);
        for (auto [option, value] : row.expected)
            EXPECT_EQ(options[option], value) << "option " << option << " at " << row.machine.megahertz << " MHz";
    }
}

TEST(MachineDefaultsTest, GammaRampFollowsTheBrightnessStep)
{
    std::uint16_t ramp[256];
    BuildGammaRamp(16, ramp);
    EXPECT_EQ(ramp[0], 256);  // 1/256 of 65535, rounded
    EXPECT_EQ(ramp[127], 32768);
    EXPECT_EQ(ramp[255], 65535);
    BuildGammaRamp(0, ramp);  // exponent 2: darker
    EXPECT_EQ(ramp[0], 1);
    EXPECT_EQ(ramp[127], 16384);
    EXPECT_EQ(ramp[255], 65535);
    BuildGammaRamp(32, ramp);  // exponent 0: all white
    for (std::uint16_t entry : ramp)
        EXPECT_EQ(entry, 65535);
}

TEST(MachineDefaultsTest, MissingDisplayModesFallBack)
{
    using Mode = std::array<int, 3>;
    const struct {
        int resolution, depth;
        std::vector<Mode> available;
        int expectedResolution, expectedDepth;
    } cases[] = {
        {6, 1, {{1600, 1200, 32}}, 6, 1},
        {6, 1, {{1600, 1200, 16}}, 6, 0},
        {6, 1, {{800, 600, 32}}, 0, 0},  // neither depth: both reset
        {2, 0, {{1024, 768, 32}}, 0, 0},
        {1, 0, {{800, 600, 16}}, 1, 0},
        {42, 1, {{800, 600, 32}}, 1, 1},  // an index beyond the table is the default
    };
    for (const auto& row : cases) {
        std::int32_t options[OptionCount] = {};
        options[9] = row.resolution;
        options[10] = row.depth;
        Options::CheckDisplayMode(options, [&](int width, int height, int bits) {
            return std::find(row.available.begin(), row.available.end(), Mode{width, height, bits}) !=
                   row.available.end();
        });
        EXPECT_EQ(options[9], row.expectedResolution) << row.resolution;
        EXPECT_EQ(options[10], row.expectedDepth) << row.resolution;
    }
}

TEST_F(OptionsTest, ApplyPushesTheOptionsIntoTheRunningSystem)
{
    Options* options = Fresh();
    Application* application = Application::Instance();
    options->SetOption(Options::MusicVolume, 40);
    options->SetOption(Options::ProfanityFilterOn, 0);
    options->SetOption(Options::ResolutionIndex, 1);
    options->SetOption(Options::BitDepth, 1);
    options->Apply();
    EXPECT_FLOAT_EQ(application->GetMusicVolume(), 0.4f);
    EXPECT_FALSE(ProfanityFilter::IsEnabled());
    // The windowed device lists 800 x 600 at 32 bits: nothing falls back.
    EXPECT_EQ(options->GetOption(Options::ResolutionIndex), 1);
    EXPECT_EQ(options->GetOption(Options::BitDepth), 1);
    EXPECT_TRUE(options->IsDisplayModeAvailable(800, 600, 32));
    EXPECT_FALSE(options->IsDisplayModeAvailable(801, 600, 32));

    options->SetOption(Options::ProfanityFilterOn, 1);
    options->SetOption(Options::ResolutionIndex, 42);  // beyond the table: never used as an index
    options->Apply();
    EXPECT_TRUE(ProfanityFilter::IsEnabled());
    EXPECT_EQ(options->GetOption(Options::ResolutionIndex), 1);
}
