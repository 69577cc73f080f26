#include "mission/MissionState.h"

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/player/Player.h"
#include "media/Sound2D.h"
#include "media/SoundSystem.h"
#include "platform/os/VirtualKeys.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

#include <cstdio>
#include <string>

namespace {

constexpr int SelectPreviousItem = 15;
constexpr int SelectNextItem = 16;
constexpr int ShowMapAction = 18;
constexpr int QuickLoadAction = 33;
constexpr int SendGlobalMessage = 34;
constexpr int SendTeamMessage = 35;
constexpr int SendPersonalMessage = 36;
constexpr int MultiplayerStats = 37;

// The mission file's name without folder and extension.
std::string BaseName(const char* path)
{
    std::string name = path ? path : "";
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

void TogglePause(MissionState& mission)
{
    mission.controls.paused = !mission.controls.paused;
    if (SoundSystem* sound = Application::Instance()->GetSoundSystem()) {
        if (mission.controls.paused)
            sound->PauseAll();
        else
            sound->ResumeAll();
    }
}

// Buttons 0..6 have the key codes 1..7 ("Left Mouse" to "Mouse Button 7"); the codes beyond are
// keyboard keys, so any other button is ignored.
constexpr int MouseButtonKeyCount = 7;
bool IsMouseButton(int button)
{
    return button >= 0 && button < MouseButtonKeyCount;
}

} // namespace

int MissionState::ActionForKey(int key)
{
    if (key < 0 || key >= Options::KeyCount)
        return -1;
    const int action = Options::Instance()->GetActionForKey(key);
    return action >= 0 && action < Options::ActionCount ? action : -1;
}

void MissionState::KeyDown(int code)
{
    // The chat line, which would take the key first, does not exist yet.
    Application* application = Application::Instance();

    if (code == platform::os::VK_PAUSE) {
        if ((missionResult == Running || controls.paused) && application->GetState() == this)
            TogglePause(*this);
    }

    if (code == platform::os::VK_ESCAPE) {
        if (controls.helpShown) {
            controls.helpShown = false;
        } else if (controls.scoreboardShown) {
            controls.scoreboardShown = false;
        } else {
            CarriedItem* held = roster.controlledCharacter ? roster.controlledCharacter->GetHeldItem() : nullptr;
            if (held && held->inUse && missionResult == Running)
                return;
            // A scope or field glasses up take Escape themselves, to come down: the key must not
            // leave the level under them.
            if (held && held->keyLock && missionResult == Running && !controls.paused) {
                if (Player* player = AsPlayer(roster.controlledCharacter))
                    player->OnKeyDown(code);
                return;
            }
            if (!session.networkGame && missionResult == Won) {
                const std::string startSave = BaseName(session.missionFile) + "-Start.sav";
                std::remove(startSave.c_str());
                if (openDebriefing) {
                    UnloadLevel();
                    openDebriefing(session.networkGame);
                } else {
                    LeaveLevel();
                }
                return;
            }
            if (controls.paused && !session.networkGame && missionResult == Running) {
                TogglePause(*this);
                return;
            }
            // Until the in-game menu exists, Escape leaves the level.
            if (openEscapeMenu)
                openEscapeMenu();
            else
                LeaveLevel();
            return;
        }
    }

    const int action = ActionForKey(code);
    switch (action) {
    case QuickLoadAction:
        QuickLoad();
        return;
    case ShowMapAction:
        if (!roster.controlledCharacter && hud.overheadMap && hud.overheadMap->HasImage()) {
            if (audio.mapSound)
                audio.mapSound->Play();
            hud.overheadMap->ToggleShown();
        }
        break;
    case SendGlobalMessage:
    case SendTeamMessage:
    case SendPersonalMessage:
        // The chat line does not exist yet.
        break;
    case MultiplayerStats:
        controls.scoreboardShown = !controls.scoreboardShown;
        if (controls.scoreboardShown)
            controls.helpShown = false;
        break;
    default: break;
    }

    if (controls.paused || application->IsInMenu())
        return;
    if (roster.controlledCharacter) {
        bool passed = true;
        if (controls.characterInput.keyDown)
            passed = controls.characterInput.keyDown(code);
        else if (Player* player = AsPlayer(roster.controlledCharacter))
            passed = player->OnKeyDown(code);
        if (!passed)
            return;
    }
    if (action >= 0)
        PerformAction(action, true);
}

void MissionState::KeyUp(int code)
{
    if (!roster.controlledCharacter)
        return;
    bool notInCommandMode = true;
    if (controls.characterInput.notInCommandMode)
        notInCommandMode = controls.characterInput.notInCommandMode();
    else if (Player* player = AsPlayer(roster.controlledCharacter))
        notInCommandMode = player->NotInCommandMode();
    const int action = ActionForKey(code);
    if (notInCommandMode && action >= 0)
        PerformAction(action, false);
}

void MissionState::MouseDown(int button, int x, int y, bool)
{
    // The intermission's ready toggle belongs to a connected client; this build is never one.
    if (controls.paused || Application::Instance()->IsInMenu() || controls.radialMenuOpen || !roster.controlledCharacter)
        return;
    bool passed = true;
    if (controls.characterInput.mouseButton)
        passed = controls.characterInput.mouseButton(button, x, y);
    else if (Player* player = AsPlayer(roster.controlledCharacter))
        passed = player->OnMouseButton(button, x, y, 0);
    if (passed && IsMouseButton(button)) {
        if (const int action = ActionForKey(button + 1); action >= 0)
            PerformAction(action, true);
    }
}

void MissionState::MouseUp(int button, int x, int y, float)
{
    if (controls.paused || Application::Instance()->IsInMenu())
        return;
    if (controls.radialMenuOpen) {
        controls.radialPointerX = x;
        controls.radialPointerY = y;
        ShowRadialMenu(false, button == 0);
        return;
    }
    if (!roster.controlledCharacter)
        return;
    bool passed = true;
    if (controls.characterInput.commandClick)
        passed = controls.characterInput.commandClick(button, x, y);
    else if (Player* player = AsPlayer(roster.controlledCharacter))
        passed = player->OnCommandClick(x, y, button) != 0;
    if (passed && IsMouseButton(button)) {
        if (const int action = ActionForKey(button + 1); action >= 0)
            PerformAction(action, false);
    }
}

void MissionState::MouseMove(int x, int y)
{
    if (!controls.radialMenuOpen)
        return;
    controls.radialPointerX = x;
    controls.radialPointerY = y;
    const int sector = GetGestureSector(x, y);
    if (sector >= 0 && sector < RadialMenuCount)
        controls.radialMenuIndex = sector;
}

void MissionState::MouseWheel(bool down, int, int)
{
    if (missionResult != Running)
        return;
    const int direction = down ? 0 : 1;
    bool passed = true;
    if (roster.controlledCharacter) {
        if (controls.characterInput.mouseWheel)
            passed = controls.characterInput.mouseWheel(direction);
        else if (Player* player = AsPlayer(roster.controlledCharacter))
            passed = player->OnMouseWheel(direction, 0, 0) != 0;
    }
    if (passed)
        PerformAction(direction == 0 ? SelectPreviousItem : SelectNextItem, true);
}

int MissionState::RadialMenuAction(int sector)
{
    return sector >= 1 && sector <= 8 ? 20 + sector : -1;
}

void MissionState::ShowRadialMenu(bool show, bool run)
{
    if (show == controls.radialMenuOpen)
        return;
    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    platform::os::Window* window = device ? device->GetWindow() : nullptr;
    if (show) {
        if (!controls.radialCursorSaved) {
            application->GetCursorPos(&controls.cursorRestoreX, &controls.cursorRestoreY);
            controls.radialCursorSaved = true;
        }
        controls.gestureOriginX = controls.radialPointerX = controls.cursorRestoreX;
        controls.gestureOriginY = controls.radialPointerY = controls.cursorRestoreY;
        controls.radialMenuIndex = 0;
        controls.radialMenuOpen = true;
        application->SetCursorVisible(true);
        return;
    }
    controls.radialMenuOpen = false;
    application->SetCursorVisible(false);
    if (run) {
        const int action = RadialMenuAction(GetGestureSector(controls.radialPointerX, controls.radialPointerY));
        if (action >= 0) {
            if (controls.characterInput.radialOrder)
                controls.characterInput.radialOrder(action);
            else if (Player* player = AsPlayer(roster.controlledCharacter))
                player->HandleAction(action);
            PerformAction(action, true);
        }
    }
    controls.radialMenuIndex = 0;
    if (controls.radialCursorSaved && window)
        window->SetCursorPosition(controls.cursorRestoreX, controls.cursorRestoreY);
    controls.radialCursorSaved = false;
}
