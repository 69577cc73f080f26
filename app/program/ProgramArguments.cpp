#include "app/program/ProgramArguments.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Copies at most limit characters of value into a field of limit + 1 bytes.
void CopyCut(char* field, std::size_t limit, const char* value)
{
    std::size_t length = std::strlen(value);
    if (length > limit)
        length = limit;
    std::memcpy(field, value, length);
    field[length] = '\0';
}

template <std::size_t N>
void CopyCut(char (&field)[N], const char* value)
{
    CopyCut(field, N - 1, value);
}

// How a switch takes its value: none; the next token, or nothing is done without one; the next
// token, or the switch applies with a null value when none follows.
enum class Value { None, Required, Optional };

struct Switch {
    const char* name;
    Value value;
    void (*apply)(ProgramArguments& arguments, const char* value);
};

// In the order they are tried.
const Switch switches[] = {
    {"-w", Value::Required, [](ProgramArguments& a, const char* v) {
         a.width = std::atoi(v);
         a.height = int(a.width * 0.75);
         a.screenWidth = a.width;
         a.screenHeight = a.height;
     }},
    {"-h", Value::Required, [](ProgramArguments& a, const char* v) {
         a.height = std::atoi(v);
         a.screenHeight = a.height;
     }},
    {"-nodinput", Value::None, [](ProgramArguments& a, const char*) { a.noDirectInput = true; }},
    {"-win", Value::None, [](ProgramArguments& a, const char*) { a.windowed = true; }},
    {"-pathedit", Value::None, [](ProgramArguments& a, const char*) { a.pathEdit = true; }},
    {"-campaign", Value::Required, [](ProgramArguments& a, const char* v) { CopyCut(a.campaignName, v); }},
    {"-map", Value::Required, [](ProgramArguments& a, const char* v) { CopyCut(a.mapName, v); }},
    {"-nosound", Value::None, [](ProgramArguments& a, const char*) { a.noSound = true; }},
    {"-cheats", Value::None, [](ProgramArguments& a, const char*) { a.cheats = true; }},
    {"-skipmenu", Value::None, [](ProgramArguments& a, const char*) {
         a.skipMenu = true;
         a.quitOnLeave = true;
     }},
    {"-options", Value::None, [](ProgramArguments& a, const char*) {
         a.showOptions = true;
         a.quitOnLeave = true;
     }},
    {"-loadsave", Value::None, [](ProgramArguments& a, const char*) {
         a.loadSave = true;
         a.quitOnLeave = true;
     }},
    {"-s", Value::Optional, [](ProgramArguments& a, const char* v) {
         a.startServer = true;
         a.serverPlayerLimit = v ? std::atoi(v) : 32;
         a.quitOnLeave = true;
     }},
    {"-c", Value::Required, [](ProgramArguments& a, const char* v) {
         if (std::strlen(v) <= ProgramArguments::ServerAddressLength) {
             a.connect = true;
             CopyCut(a.connectAddress, v);
         }
         a.quitOnLeave = true;
     }},
    {"-squad", Value::Optional, [](ProgramArguments& a, const char* v) {
         std::uint8_t squad = v ? std::uint8_t(std::atoi(v)) : 0;
         a.squad = squad >= 8 ? 0 : squad;
     }},
    {"-name", Value::Required, [](ProgramArguments& a, const char* v) {
         a.nameGiven = true;
         CopyCut(a.playerName, v);
     }},
    {"-motd", Value::Required, [](ProgramArguments& a, const char* v) { CopyCut(a.settings.messageOfTheDay, v); }},
    {"-password", Value::Required, [](ProgramArguments& a, const char* v) {
         a.passwordGiven = true;
         a.password = v;
     }},
    {"-servername", Value::Required, [](ProgramArguments& a, const char* v) {
         // Written in double quotes: the opening one is skipped, a closing one removed.
         char name[ServerSettings::ServerNameSize];
         CopyCut(name, v + 1);
         std::size_t length = std::strlen(name);
         if (length > 0 && name[length - 1] == '"')
             name[length - 1] = '\0';
         std::memcpy(a.settings.serverName, name, sizeof name);
         std::memcpy(a.serverName, name, sizeof name);
     }},
    {"-respawnrate", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.respawnTime = std::int32_t(std::atol(v)); }},
    {"-looseitem", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.looseItemTime = std::int32_t(std::atol(v)); }},
    {"-listongamespy", Value::None, [](ProgramArguments& a, const char*) { a.listedOnMasterServer = true; }},
    {"-donotlistongamespy", Value::None, [](ProgramArguments& a, const char*) { a.listedOnMasterServer = false; }},
    {"-indiscriminatemines", Value::None, [](ProgramArguments& a, const char*) { a.settings.indiscriminateMines = 1; }},
    {"-no3rd", Value::None, [](ProgramArguments& a, const char*) { a.settings.noThirdPerson = 1; }},
    {"-profanityfilter", Value::None, [](ProgramArguments& a, const char*) { a.profanityFilter = true; }},
    {"-friendlyfire", Value::None, [](ProgramArguments& a, const char*) { a.settings.friendlyFire = 1; }},
    {"-friendlyfireareadamage", Value::None, [](ProgramArguments& a, const char*) { a.settings.friendlyFireAreaDamage = 1; }},
    {"-nominespawnradius", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.mineSpawnRadius = std::int16_t(std::atoi(v)); }},
    {"-cycletime", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.mapCycleTime = std::uint16_t(std::atoi(v)); }},
    {"-cyclescore", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.cycleScore = std::int16_t(std::atoi(v)); }},
    {"-rounds", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.rounds = std::uint8_t(std::atoi(v)); }},
    {"-intermission", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.intermission = std::uint8_t(std::atoi(v)); }},
    {"-maxAI", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.aiLimit = std::uint8_t(std::atoi(v)); }},
    {"-lives", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.lives = std::uint8_t(std::atoi(v)); }},
    {"-enemylives", Value::Required, [](ProgramArguments& a, const char* v) { a.settings.enemyLives = std::uint8_t(std::atoi(v)); }},
    {"-gametype", Value::Required, [](ProgramArguments& a, const char* v) {
         int type = std::atoi(v);
         a.settings.gameType = type == 0 || type == 1 ? type : 0;
         a.gameTypeGiven = true;
     }},
    {"-numteams", Value::Required, [](ProgramArguments& a, const char* v) {
         std::uint8_t teams = std::uint8_t(std::atoi(v));
         a.settings.teamCount = teams > 8 || teams == 1 ? 0 : teams;
     }},
    {"-noenemies", Value::None, [](ProgramArguments& a, const char*) { a.settings.noEnemies = 1; }},
    {"-autobalanceteams", Value::None, [](ProgramArguments& a, const char*) { a.settings.autobalanceTeams = 1; }},
    // A test harness's switch, beyond the 40 of the game: the UDP port a "-s" server listens on
    // (0: any free one, which the log names) or a "-c" client connects to; the client then takes
    // any free port of its own, so that several copies can run on one machine. A value that is
    // not a port number is ignored.
    {"-port", Value::Required, [](ProgramArguments& a, const char* v) {
         char* end = nullptr;
         const long port = std::strtol(v, &end, 10);
         if (*v >= '0' && *v <= '9' && end && *end == '\0' && port >= 0 && port <= 65535)
             a.port = std::uint16_t(port);
     }},
};

static_assert(sizeof switches / sizeof switches[0] == 41);

const Switch* FindSwitch(const char* token)
{
    for (const Switch& candidate : switches) {
        if (std::strcmp(candidate.name, token) == 0)
            return &candidate;
    }
    return nullptr;
}

} // namespace

ProgramArguments::ProgramArguments()
{
    ServerSettings::SetDefaults(&settings);
    CopyCut(settings.messageOfTheDay, "No message of the day");
    CopyCut(settings.serverName, "Unnamed");
}

void ParseProgramArguments(const char* commandLine, ProgramArguments& arguments)
{
    if (!commandLine || !*commandLine)
        return;

    char text[ProgramArguments::CommandLineSize] = {};
    CopyCut(text, sizeof text - 1, commandLine);

    // Blanks inside double quotes belong to the token; the quotes themselves stay in it.
    const char separator = '\x01';
    bool quoted = false;
    for (char* c = text; *c; ++c) {
        if (*c == '"')
            quoted = !quoted;
        else if (*c == ' ' && !quoted)
            *c = separator;
    }

    std::vector<const char*> tokens;
    const char delimiters[] = {separator, '\0'};
    char* state = nullptr;
    for (char* token = strtok_r(text, delimiters, &state); token; token = strtok_r(nullptr, delimiters, &state))
        tokens.push_back(token);

    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Switch* found = FindSwitch(tokens[i]);
        if (!found)
            continue;
        const char* next = i + 1 < tokens.size() ? tokens[i + 1] : nullptr;
        switch (found->value) {
        case Value::None:
            found->apply(arguments, nullptr);
            break;
        case Value::Required:
            if (next) {
                found->apply(arguments, next);
                ++i;
            }
            break;
        case Value::Optional:
            found->apply(arguments, next);
            if (next)
                ++i;
            break;
        }
    }

    if (arguments.gameTypeGiven && arguments.settings.gameType == 1)
        arguments.settings.teamCount = 1;
}

std::string JoinProgramArguments(int argc, const char* const* argv)
{
    std::string text;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i] ? argv[i] : "";
        bool serverNameValue = i > 1 && std::strcmp(argv[i - 1] ? argv[i - 1] : "", "-servername") == 0;
        // An argument the user quoted already keeps its own quotes.
        bool quote = argument[0] != '"' && (!*argument || std::strchr(argument, ' ') || serverNameValue);
        if (!text.empty())
            text += ' ';
        if (quote)
            text += '"';
        text += argument;
        if (quote)
            text += '"';
    }
    return text;
}
