#pragma once

#include "multiplayer/ServerSettings.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The start-up values the program's command line carries: 40 switches of the game and one of the
// test harness ("-port"), each compared exactly
// (case-sensitive, whole token); unknown tokens are ignored and values are cut at their field's
// limit. The settings record starts from its defaults with "No message of the day" and the server
// name "Unnamed".
struct ProgramArguments {
    static constexpr std::size_t CommandLineSize = 500;  // the copy the switches are read from
    static constexpr std::size_t NameSize = 256;         // campaign and map names
    static constexpr std::size_t PlayerNameLength = 24;
    static constexpr std::size_t ServerAddressLength = 15;
    static constexpr std::size_t ServerNameLength = 29;

    ProgramArguments();

    int width = 800;
    int height = 600;
    // The Application's screen size as "-w" and "-h" gave it; -1 when not given.
    int screenWidth = -1;
    int screenHeight = -1;
    bool noDirectInput = false;
    bool windowed = false;
    bool pathEdit = false;
    char campaignName[NameSize] = {};
    char mapName[NameSize] = {};
    bool noSound = false;
    bool cheats = false;
    bool skipMenu = false;
    bool showOptions = false;
    bool loadSave = false;
    bool quitOnLeave = false;
    bool startServer = false;
    int serverPlayerLimit = -1;
    bool connect = false;  // "-c" with an accepted address
    char connectAddress[ServerAddressLength + 1] = {};
    std::uint8_t squad = 0;
    bool nameGiven = false;
    char playerName[PlayerNameLength + 1] = {};
    bool passwordGiven = false;
    std::string password;
    char serverName[ServerSettings::ServerNameSize] = {};  // for the host-game screen
    std::optional<bool> listedOnMasterServer;
    bool profanityFilter = false;
    bool gameTypeGiven = false;
    ServerSettings settings;
    // "-port": the server's port for "-s" and "-c"; the game's own ports without it.
    std::optional<std::uint16_t> port;
};

// Reads the switches of a command line into arguments; a null or empty line leaves it as it is.
// Only the first 499 characters are read.
void ParseProgramArguments(const char* commandLine, ProgramArguments& arguments);

// The command line as one text, the way the switches expect it: the arguments joined with blanks,
// each one that holds a blank (or is empty) in double quotes, and so is the "-servername" value,
// which is written in quotes (the shell has taken the user's quotes away). An argument that
// begins with a double quote is taken as quoted already.
std::string JoinProgramArguments(int argc, const char* const* argv);
