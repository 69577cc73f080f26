#include "app/program/ProgramArguments.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

ProgramArguments Parse(const std::string& commandLine)
{
    ProgramArguments arguments;
    ParseProgramArguments(commandLine.c_str(), arguments);
    return arguments;
}

struct Case {
    const char* name;
    std::string commandLine;
    std::function<void(const ProgramArguments&)> check;
};

} // namespace

TEST(ProgramArgumentsTest, DefaultsBeforeAnySwitch)
{
    for (const char* line : {"", "   ", "unknown words only"}) {
        SCOPED_TRACE(line);
        ProgramArguments a = Parse(line);
        EXPECT_EQ(a.width, 800);
        EXPECT_EQ(a.height, 600);
        EXPECT_EQ(a.screenWidth, -1);
        EXPECT_EQ(a.screenHeight, -1);
        EXPECT_FALSE(a.windowed);
        EXPECT_FALSE(a.quitOnLeave);
        EXPECT_EQ(a.serverPlayerLimit, -1);
        EXPECT_STREQ(a.settings.messageOfTheDay, "No message of the day");
        EXPECT_STREQ(a.settings.serverName, "Unnamed");
        EXPECT_STREQ(a.serverName, "");
        EXPECT_EQ(a.settings.gameType, 2);
        EXPECT_EQ(a.settings.respawnTime, 3000);
        EXPECT_EQ(a.settings.looseItemTime, 30000);
        EXPECT_EQ(a.settings.mineSpawnRadius, -1);
        EXPECT_EQ(a.settings.lives, 255);
        EXPECT_EQ(a.settings.intermission, 5);
        EXPECT_EQ(a.settings.rounds, 1);
        EXPECT_FALSE(a.listedOnMasterServer.has_value());
    }
    ProgramArguments untouched;
    ParseProgramArguments(nullptr, untouched);
    EXPECT_EQ(untouched.width, 800);
}

TEST(ProgramArgumentsTest, Switches)
{
    const std::string longName(300, 'm');
    const Case cases[] = {
        {"-w sets both sizes", "-w 1024",
         [](const ProgramArguments& a) {
             EXPECT_EQ(a.width, 1024);
             EXPECT_EQ(a.height, 768);
             EXPECT_EQ(a.screenWidth, 1024);
             EXPECT_EQ(a.screenHeight, 768);
         }},
        {"-h after -w", "-w 1024 -h 700",
         [](const ProgramArguments& a) {
             EXPECT_EQ(a.width, 1024);
             EXPECT_EQ(a.height, 700);
             EXPECT_EQ(a.screenHeight, 700);
         }},
        {"-h alone keeps the width", "-h 700",
         [](const ProgramArguments& a) {
             EXPECT_EQ(a.width, 800);
             EXPECT_EQ(a.height, 700);
             EXPECT_EQ(a.screenWidth, -1);
         }},
        {"-w truncates three quarters", "-w 1023", [](const ProgramArguments& a) { EXPECT_EQ(a.height, 767); }},
        {"-s last gives 32", "-win -s",
         [](const ProgramArguments& a) {
             EXPECT_TRUE(a.startServer);
             EXPECT_EQ(a.serverPlayerLimit, 32);
             EXPECT_TRUE(a.quitOnLeave);
         }},
        {"-s takes -win as its limit", "-s -win",
         [](const ProgramArguments& a) {
             EXPECT_TRUE(a.startServer);
             EXPECT_EQ(a.serverPlayerLimit, 0);
             EXPECT_FALSE(a.windowed);
         }},
        {"-s with a limit", "-s 8 -win",
         [](const ProgramArguments& a) {
             EXPECT_EQ(a.serverPlayerLimit, 8);
             EXPECT_TRUE(a.windowed);
         }},
        {"-c with 16 characters is ignored", "-c 1234567890123456",
         [](const ProgramArguments& a) {
             EXPECT_FALSE(a.connect);
             EXPECT_STREQ(a.connectAddress, "");
             EXPECT_TRUE(a.quitOnLeave);
         }},
        {"-c with 15 characters", "-c 192.168.100.200",
         [](const ProgramArguments& a) {
             EXPECT_TRUE(a.connect);
             EXPECT_STREQ(a.connectAddress, "192.168.100.200");
             EXPECT_TRUE(a.quitOnLeave);
         }},
        {"-c without a value does nothing", "-c", [](const ProgramArguments& a) { EXPECT_FALSE(a.quitOnLeave); }},
        {"no -port keeps the game's ports", "-s 4", [](const ProgramArguments& a) { EXPECT_FALSE(a.port); }},
        {"-port 0 asks for any port", "-s 4 -port 0",
         [](const ProgramArguments& a) { EXPECT_EQ(a.port, std::optional<std::uint16_t>(0)); }},
        {"-port 65535", "-c 127.0.0.1 -port 65535",
         [](const ProgramArguments& a) { EXPECT_EQ(a.port, std::optional<std::uint16_t>(65535)); }},
        {"-port 65536 is ignored", "-port 65536", [](const ProgramArguments& a) { EXPECT_FALSE(a.port); }},
        {"-port negative is ignored", "-port -1", [](const ProgramArguments& a) { EXPECT_FALSE(a.port); }},
        {"-port with letters is ignored", "-port 60001x", [](const ProgramArguments& a) { EXPECT_FALSE(a.port); }},
        {"-port takes the next switch and ignores it", "-port -win",
         [](const ProgramArguments& a) {
             EXPECT_FALSE(a.port);
             EXPECT_FALSE(a.windowed);
         }},
        {"-squad 9", "-squad 9", [](const ProgramArguments& a) { EXPECT_EQ(a.squad, 0); }},
        {"-squad 7", "-squad 7", [](const ProgramArguments& a) { EXPECT_EQ(a.squad, 7); }},
        {"-squad low byte", "-squad 259", [](const ProgramArguments& a) { EXPECT_EQ(a.squad, 3); }},
        {"-squad negative", "-squad -1", [](const ProgramArguments& a) { EXPECT_EQ(a.squad, 0); }},
        {"-squad alone", "-squad 3 -squad", [](const ProgramArguments& a) { EXPECT_EQ(a.squad, 0); }},
        {"-numteams 1", "-numteams 1", [](const ProgramArguments& a) { EXPECT_EQ(a.settings.teamCount, 0); }},
        {"-numteams 4", "-numteams 4", [](const ProgramArguments& a) { EXPECT_EQ(a.settings.teamCount, 4); }},
        {"-numteams 9", "-numteams 9", [](const ProgramArguments& a) { EXPECT_EQ(a.settings.teamCount, 0); }},
        {"-gametype 1 forces one team", "-gametype 1 -numteams 4",
         [](const ProgramArguments& a) {
             EXPECT_EQ(a.settings.gameType, 1);
             EXPECT_EQ(a.settings.teamCount, 1);
         }},
        {"-gametype 1 before or after", "-numteams 4 -gametype 1",
         [](const ProgramArguments& a) { EXPECT_EQ(a.settings.teamCount, 1); }},
        {"-gametype 2 becomes 0", "-gametype 2", [](const ProgramArguments& a) { EXPECT_EQ(a.settings.gameType, 0); }},
        {"-gametype 0", "-gametype 0 -numteams 4",
         [](const ProgramArguments& a) {
             EXPECT_EQ(a.settings.gameType, 0);
             EXPECT_EQ(a.settings.teamCount, 4);
         }},
        {"-servername in quotes", "-servername \"My Server\"",
         [](const ProgramArguments& a) {
             EXPECT_STREQ(a.settings.serverName, "My Server");
             EXPECT_STREQ(a.serverName, "My Server");
         }},
        {"-servername without quotes loses its first character", "-servername MyServer",
         [](const ProgramArguments& a) { EXPECT_STREQ(a.settings.serverName, "yServer"); }},
        {"-servername keeps 29 characters", "-servername \"abcdefghijklmnopqrstuvwxyz0123456789\"",
         [](const ProgramArguments& a) {
             EXPECT_STREQ(a.settings.serverName, "abcdefghijklmnopqrstuvwxyz012");
             EXPECT_STREQ(a.serverName, "abcdefghijklmnopqrstuvwxyz012");
         }},
        {"-servername of a lone quote", "-servername \"",
         [](const ProgramArguments& a) { EXPECT_STREQ(a.settings.serverName, ""); }},
        {"another letter case is ignored", "-WIN -Win -NOSOUND win",
         [](const ProgramArguments& a) {
             EXPECT_FALSE(a.windowed);
             EXPECT_FALSE(a.noSound);
         }},
        {"unknown switches are ignored", "-foo -win -bar 3",
         [](const ProgramArguments& a) { EXPECT_TRUE(a.windowed); }},
        {"several blanks", "-win     -nosound", [](const ProgramArguments& a) {
             EXPECT_TRUE(a.windowed);
             EXPECT_TRUE(a.noSound);
         }},
        {"a value is the next token, whatever it is", "-name -win",
         [](const ProgramArguments& a) {
             EXPECT_STREQ(a.playerName, "-win");
             EXPECT_FALSE(a.windowed);
         }},
        {"quoted blanks stay in the token", "-map \"My Map.mis\" -win",
         [](const ProgramArguments& a) {
             EXPECT_STREQ(a.mapName, "\"My Map.mis\"");
             EXPECT_TRUE(a.windowed);
         }},
        {"-map is cut at 255", "-map " + longName,
         [](const ProgramArguments& a) { EXPECT_EQ(std::string(a.mapName), std::string(255, 'm')); }},
        {"-campaign is cut at 255", "-campaign " + longName,
         [](const ProgramArguments& a) { EXPECT_EQ(std::string(a.campaignName), std::string(255, 'm')); }},
        {"-motd is cut at its field", "-motd " + longName,
         [](const ProgramArguments& a) {
             EXPECT_EQ(std::string(a.settings.messageOfTheDay), std::string(ServerSettings::MessageOfTheDaySize - 1, 'm'));
         }},
        {"-name is cut at 24", "-name abcdefghijklmnopqrstuvwxyz",
         [](const ProgramArguments& a) {
             EXPECT_TRUE(a.nameGiven);
             EXPECT_STREQ(a.playerName, "abcdefghijklmnopqrstuvwx");
         }},
        {"a switch at the end without its value", "-win -campaign",
         [](const ProgramArguments& a) {
             EXPECT_TRUE(a.windowed);
             EXPECT_STREQ(a.campaignName, "");
         }},
        {"only 499 characters are read", std::string(495, 'x') + " -win -nosound",
         [](const ProgramArguments& a) {
             EXPECT_FALSE(a.windowed);
             EXPECT_FALSE(a.noSound);
         }},
        {"the last switch within 499 characters", std::string(494, 'x') + " -win",
         [](const ProgramArguments& a) { EXPECT_TRUE(a.windowed); }},
        {"mode and start switches",
         "-nodinput -win -pathedit -nosound -cheats -skipmenu -options -loadsave",
         [](const ProgramArguments& a) {
             EXPECT_TRUE(a.noDirectInput);
             EXPECT_TRUE(a.windowed);
             EXPECT_TRUE(a.pathEdit);
             EXPECT_TRUE(a.noSound);
             EXPECT_TRUE(a.cheats);
             EXPECT_TRUE(a.skipMenu);
             EXPECT_TRUE(a.showOptions);
             EXPECT_TRUE(a.loadSave);
             EXPECT_TRUE(a.quitOnLeave);
         }},
        {"each start switch sets quit-on-leave", "-options", [](const ProgramArguments& a) { EXPECT_TRUE(a.quitOnLeave); }},
        {"settings values",
         "-respawnrate 5000 -looseitem 1000 -nominespawnradius 50 -cycletime 15 -cyclescore 100 -rounds 3 "
         "-intermission 10 -maxAI 20 -lives 3 -enemylives 4",
         [](const ProgramArguments& a) {
             EXPECT_EQ(a.settings.respawnTime, 5000);
             EXPECT_EQ(a.settings.looseItemTime, 1000);
             EXPECT_EQ(a.settings.mineSpawnRadius, 50);
             EXPECT_EQ(a.settings.mapCycleTime, 15);
             EXPECT_EQ(a.settings.cycleScore, 100);
             EXPECT_EQ(a.settings.rounds, 3);
             EXPECT_EQ(a.settings.intermission, 10);
             EXPECT_EQ(a.settings.aiLimit, 20);
             EXPECT_EQ(a.settings.lives, 3);
             EXPECT_EQ(a.settings.enemyLives, 4);
         }},
        {"byte values keep their low byte", "-rounds 300 -lives -1",
         [](const ProgramArguments& a) {
             EXPECT_EQ(a.settings.rounds, 44);
             EXPECT_EQ(a.settings.lives, 255);
         }},
        {"settings flags",
         "-indiscriminatemines -no3rd -friendlyfire -friendlyfireareadamage -noenemies -autobalanceteams",
         [](const ProgramArguments& a) {
             EXPECT_EQ(a.settings.indiscriminateMines, 1);
             EXPECT_EQ(a.settings.noThirdPerson, 1);
             EXPECT_EQ(a.settings.friendlyFire, 1);
             EXPECT_EQ(a.settings.friendlyFireAreaDamage, 1);
             EXPECT_EQ(a.settings.noEnemies, 1);
             EXPECT_EQ(a.settings.autobalanceTeams, 1);
         }},
        {"master-server listing, last one wins", "-listongamespy -donotlistongamespy",
         [](const ProgramArguments& a) { EXPECT_EQ(a.listedOnMasterServer, std::optional<bool>(false)); }},
        {"listed", "-listongamespy", [](const ProgramArguments& a) { EXPECT_EQ(a.listedOnMasterServer, std::optional<bool>(true)); }},
        {"password and filter", "-password secret -profanityfilter",
         [](const ProgramArguments& a) {
             EXPECT_TRUE(a.passwordGiven);
             EXPECT_EQ(a.password, "secret");
             EXPECT_TRUE(a.profanityFilter);
         }},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        row.check(Parse(row.commandLine));
    }
}

TEST(ProgramArgumentsTest, ShellArgumentsJoinIntoOneLine)
{
    const struct {
        std::vector<const char*> argv;
        const char* joined;
    } cases[] = {
        {{"bexal"}, ""},
        {{"bexal", "-win", "-w", "1024"}, "-win -w 1024"},
        {{"bexal", "-map", "My Map.mis"}, "-map \"My Map.mis\""},
        {{"bexal", "-servername", "Solo", "-win"}, "-servername \"Solo\" -win"},
        {{"bexal", "-servername", "\"Quoted\""}, "-servername \"Quoted\""},
        {{"bexal", "-motd", ""}, "-motd \"\""},
        {{"bexal", "-servername", "\"My Server\""}, "-servername \"My Server\""},
    };
    for (const auto& row : cases)
        EXPECT_EQ(JoinProgramArguments(int(row.argv.size()), row.argv.data()), row.joined);

    // The shell took the quotes away; the server name still arrives whole.
    const char* argv[] = {"bexal", "-servername", "Solo", "-win"};
    ProgramArguments a = Parse(JoinProgramArguments(4, argv));
    EXPECT_STREQ(a.settings.serverName, "Solo");
    EXPECT_TRUE(a.windowed);
}
