#include "mission/drawing/Scoreboard.h"

#include "engine/font/BitmapFont.h"
#include "mission/MissionState.h"
#include "renderer/Device.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int ColumnGap = 12;
constexpr int BoardTop = 40;
constexpr std::uint32_t RuleColour = 0xC0C0C0C0u;

std::string Format(const char* format, int a)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

std::string Format(const char* format, int a, int b)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string Format(const char* format, int a, int b, int c)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

} // namespace

const char* Scoreboard::GameTypeName(int gameType)
{
    static constexpr const char* names[3] = {"Deathmatch", "Cooperative", "Undefined"};
    return gameType == 0 || gameType == 1 ? names[gameType] : names[2];
}

int Scoreboard::NameLength(int renderWidth)
{
    switch (renderWidth) {
    case 640: return 15;
    case 800: return 23;
    default: return 24;
    }
}

const char* Scoreboard::NameColumnSample(int renderWidth)
{
    switch (renderWidth) {
    case 640: return "123456789012345";
    case 800: return "12345678901234567890123";
    case 1024: return "123456789012345678901234567890123";
    default: return "12345678901234567890123456789012345678901234567890";
    }
}

std::string Scoreboard::LivesText(int lives)
{
    if (lives == -1)
        return "Spec.";
    if (lives == 255)
        return "INF";
    return Format("%i", lives);
}

std::vector<std::string> Scoreboard::RuleLines(const ScoreboardData& data)
{
    std::vector<std::string> lines;
    if (data.timeLimitSeconds == 0) {
        lines.push_back("This game has no time limit");
    } else {
        const int left = std::max(0, data.timeLimitSeconds - int(data.gameClockSeconds));
        lines.push_back(Format("Time to next game: %i minutes, %i seconds.", left / 60, left % 60));
    }
    if (data.scoreLimit == 0)
        lines.push_back("This game has no score limit");
    else if (!data.hasTopScore)
        lines.push_back(Format("Score limit: %i.", data.scoreLimit));
    else if (data.topScore >= data.scoreLimit)
        lines.push_back(Format("Score limit met.  Current high score: %i.", data.topScore));
    else
        lines.push_back(Format("Score limit: %i.  Current high score: %i.  %i points away from score limit.",
                               data.scoreLimit, data.topScore, data.scoreLimit - data.topScore));
    if (data.gamesPerMap < 2)
        lines.push_back(Format("Games already played on this map: %i.", data.gamesPlayed));
    else
        lines.push_back(Format("Games already played on this map: %i. Games until map change: %i.", data.gamesPlayed,
                               std::max(0, data.gamesPerMap - data.gamesPlayed)));
    lines.push_back("Server name: " + data.serverName);
    if (!data.messageOfTheDay.empty())
        lines.push_back(data.messageOfTheDay);
    if (!data.mapTitle.empty())
        lines.push_back("Playing on " + data.mapTitle);
    lines.push_back(std::string("Game mode: ") + GameTypeName(data.gameType));
    return lines;
}

int Scoreboard::FittingLines(int lineCount, int top, int bottom, int lineHeight)
{
    int fitting = 0;
    for (int y = top; fitting < lineCount && y + lineHeight <= bottom; y += lineHeight)
        ++fitting;
    return fitting;
}

void Scoreboard::Draw(Device* device, BitmapFont* font, const ScoreboardData& data)
{
    if (!device || !font || !(data.hosting || data.connected))
        return;
    MissionState* mission = MissionState::Instance();
    const int width = device->GetTargetWidth(), height = device->GetTargetHeight();
    const int lineHeight = font->GetLineHeight();
    const int rowHeight = lineHeight + 4;
    const int bottom = height - (data.hosting && !data.connected ? 5 : 3) * lineHeight;

    static constexpr const char* headings[7] = {"ID", "Name", "Lives", "Team", "Kills", "Deaths", "Ping"};
    int columns[8] = {};
    for (int i = 0; i < 7; ++i) {
        int columnWidth = font->GetTextWidth(headings[i]);
        if (i == 1)
            columnWidth = font->GetTextWidth(NameColumnSample(width));
        else if (i == 3)
            columnWidth = font->GetTextWidth(MissionState::GetTeamName(0));
        columns[i + 1] = columns[i] + columnWidth + ColumnGap;
    }
    const int left = std::max(5, (width - columns[7]) / 2);
    const int top = BoardTop;

    for (int i = 0; i < 7; ++i)
        font->DrawText(device, left + columns[i], top, 1.0f, headings[i]);
    const float ruleY = float(top + lineHeight + 1);
    const float boardBottom = float(top + rowHeight * (int(data.rows.size()) + 1));
    mission->DrawRectangle(float(left), ruleY, float(left + columns[7]), ruleY, RuleColour);
    for (int i = 1; i < 7; ++i) {
        const float x = float(left + columns[i] - ColumnGap / 2);
        mission->DrawRectangle(x, float(top), x, boardBottom, RuleColour);
    }

    const std::size_t nameLength = std::size_t(NameLength(width));
    int y = top + rowHeight;
    for (const ScoreboardData::Row& row : data.rows) {
        const std::string cells[7] = {Format("%i", row.slot), row.name.substr(0, nameLength), LivesText(row.lives),
                                      MissionState::GetTeamName(row.team), Format("%i", row.kills),
                                      Format("%i", row.deaths), Format("%i", row.ping)};
        for (int i = 0; i < 7; ++i)
            font->DrawText(device, left + columns[i], y, 1.0f, cells[i].c_str());
        y += rowHeight;
    }

    y += rowHeight;
    const int teamColumn = font->GetTextWidth(MissionState::GetTeamName(0)) + ColumnGap;
    font->DrawText(device, left, y, 1.0f, "Team");
    font->DrawText(device, left + teamColumn, y, 1.0f, "Players");
    y += rowHeight;
    for (const ScoreboardData::Team& team : data.teams) {
        font->DrawText(device, left, y, 1.0f, MissionState::GetTeamName(team.team));
        font->DrawText(device, left + teamColumn, y, 1.0f, Format("%i", team.squads).c_str());
        y += rowHeight;
    }
    if (data.teamCount > 0 && data.teamChangesAllowed) {
        font->DrawText(device, left, y, 1.0f, "Press T or use the /team command to change teams");
        y += rowHeight;
    }

    const std::vector<std::string> rules = RuleLines(data);
    const int shown = FittingLines(int(rules.size()), y, bottom, lineHeight);
    for (int i = 0; i < shown; ++i, y += lineHeight)
        font->DrawText(device, left, y, 1.0f, rules[std::size_t(i)].c_str());
}
