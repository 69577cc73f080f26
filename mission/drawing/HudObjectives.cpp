#include "mission/drawing/Hud.h"

#include "app/framework/Application.h"
#include "engine/font/BitmapFont.h"
#include "mission/MissionState.h"
#include "mission/drawing/OverheadMap.h"
#include "renderer/Device.h"

#include <climits>
#include <string>

namespace {

constexpr int WrapWidth = 440;
constexpr const char* ExitObjective = "CURRENT OBJECTIVE: Get all surviving squad members to the exit zone.";

int CountLines(const std::string& text)
{
    int lines = 1;
    for (char c : text)
        lines += c == '\n' ? 1 : 0;
    return lines;
}

} // namespace

std::string Hud::WrapText(BitmapFont* font, const char* text, int width)
{
    std::string wrapped = text ? text : "";
    if (!font)
        return wrapped;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < wrapped.size(); ++i) {
        if (wrapped[i] == '\n') {
            lineStart = i + 1;
            continue;
        }
        if (font->GetTextWidth(wrapped.substr(lineStart, i - lineStart + 1).c_str()) <= width)
            continue;
        const std::size_t blank = wrapped.rfind(' ', i);
        if (blank == std::string::npos || blank < lineStart)
            continue; // one long word: it keeps its line
        wrapped[blank] = '\n';
        lineStart = blank + 1;
    }
    return wrapped;
}

void MissionState::DrawObjectivesScreen()
{
    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    BitmapFont* courier = application->GetFont(Application::Courier);
    if (!device || !courier || level.definition.objectives.empty())
        return;
    const int width = device->GetTargetWidth(), height = device->GetTargetHeight();
    const std::string overall = Hud::WrapText(courier, level.definition.overallObjective, WrapWidth);
    const int lines = CountLines(overall);
    const int lineHeight = courier->GetLineHeight();

    if (hud.overheadMap) {
        hud.overheadMap->screenX = width / 2 - hud.overheadMap->GetImageWidth() / 2;
        if (height >= 600)
            hud.overheadMap->screenY = lineHeight * (lines + 3) + 90;
        const std::uint8_t shown = hud.overheadMap->shown;
        hud.overheadMap->shown = 1;
        hud.overheadMap->Draw();
        hud.overheadMap->shown = shown;
    }

    const char* title = "Mission Objectives";
    if (BitmapFont* army = application->GetFont(Application::Army))
        army->DrawText(device, (width - army->GetTextWidth(title)) / 2, 50, 1.0f, title);
    const std::string overallLine = "OVERALL OBJECTIVE: " + overall;
    courier->DrawText(device, 20, 75, 1.0f, overallLine.c_str());

    std::string current = ExitObjective;
    bool completed = false;
    const int objective = OverheadMap::SanitizeObjective(level.currentObjective, int(level.definition.objectives.size()));
    if (objective != -1 && objective != INT_MAX) {
        const MissionObjective& goal = level.definition.objectives[std::size_t(objective)];
        completed = goal.completed != 0;
        current = std::string(goal.kind == 0 ? "CURRENT OBJECTIVE: " : "") + goal.text + (completed ? " -Completed-" : "");
    }
    courier->red = courier->green = 0.7f;
    courier->blue = completed ? 0.7f : 0.0f;
    courier->DrawText(device, 20, lineHeight * lines + 90, 1.0f, current.c_str());
    courier->red = courier->green = courier->blue = 1.0f;
}
