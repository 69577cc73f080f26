#pragma once

#include <string>
#include <vector>

class BitmapFont;
class Device;

// What the multiplayer scoreboard shows: the game's settings and, per player slot in use, its
// figures. The in-game state fills it from the session (the host's own settings or the client's
// copy); tests fill it directly.
struct ScoreboardData {
    struct Row {
        int slot = 0;
        std::string name;
        int lives = -1; // -1 no squad (spectator), 255 unlimited
        int team = 0;
        int kills = 0;
        int deaths = 0;
        int ping = 0;
    };
    struct Team {
        int team = 0;
        int squads = 0;
    };

    bool hosting = false;
    bool connected = false;
    int gameType = 0;
    int teamCount = 0;
    bool teamChangesAllowed = false;
    int timeLimitSeconds = 0;  // 0: none
    float gameClockSeconds = 0.0f;
    int scoreLimit = 0;        // 0: none
    bool hasTopScore = false;
    int topScore = 0;
    int gamesPlayed = 0;
    int gamesPerMap = 1;
    std::string serverName;
    std::string messageOfTheDay;
    std::string mapTitle;
    std::vector<Row> rows;
    std::vector<Team> teams;
};

// The scoreboard of a network game: one row per player, the team summary and the game's rules.
class Scoreboard {
public:
    // 0 "Deathmatch", 1 "Cooperative", any other value "Undefined".
    static const char* GameTypeName(int gameType);
    // How many characters of a player name the render width has room for, and the text whose
    // width the name column takes.
    static int NameLength(int renderWidth);
    static const char* NameColumnSample(int renderWidth);
    // "Spec." for -1, "INF" for 255, else the number.
    static std::string LivesText(int lives);
    // The rule lines under the board, in order: time, score, map cycle, server name, message of the
    // day (when set), map title (when known), game mode.
    static std::vector<std::string> RuleLines(const ScoreboardData& data);
    // How many of the lines fit between top and bottom at that line height, from the first on.
    static int FittingLines(int lineCount, int top, int bottom, int lineHeight);

    // Draws the board with the courier font; nothing unless this machine hosts or is connected.
    static void Draw(Device* device, BitmapFont* font, const ScoreboardData& data);
};
