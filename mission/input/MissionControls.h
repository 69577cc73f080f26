#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CarriedItem;

// The local player's input as the running mission holds it between events: the radial command
// menu and the pointer, the pending item switch, the formation display, the screens switched by
// keys, the view mode and the typed debug words.
class MissionControls {
public:
    MissionControls();
    ~MissionControls();
    MissionControls(const MissionControls&) = delete;
    MissionControls& operator=(const MissionControls&) = delete;

    // The controlled character's own turn at an input; each answers true when the input goes on
    // to its bound action. An empty hook asks the character's squad-leader operations (a
    // character that is no squad leader passes everything on).
    struct CharacterInput {
        std::function<bool(int key)> keyDown;
        std::function<bool(int button, int x, int y)> mouseButton;
        std::function<bool(int button, int x, int y)> commandClick;
        std::function<bool(int direction)> mouseWheel;
        std::function<bool(int action)> radialOrder;
        std::function<bool()> notInCommandMode;
    };
    CharacterInput characterInput;

    bool paused = false;
    bool helpShown = false;
    bool scoreboardShown = false;
    std::uint32_t saveTime = 0; // platform milliseconds of the last quick save
    // The item the player is about to switch to; the HUD makes it current when the delay runs
    // out or the switch-now flag is set.
    CarriedItem* pendingItem = nullptr;
    int pendingItemDisplayTime = 0; // ms
    int pendingItemDelay = 0;       // ms
    bool switchPendingNow = false;
    // The formation display of "Change Formation": its value counts down while it shows.
    float formationDisplay = 0.0f;
    int formationDisplayIndex = 0;

    // The radial command menu: the sector shown, whether it is open, the pointer while it is, and
    // where the pointer goes back to when it closes.
    int gestureOriginX = 0, gestureOriginY = 0;
    int radialMenuIndex = 0;
    bool radialMenuOpen = false;
    int cursorRestoreX = 0, cursorRestoreY = 0;
    bool radialCursorSaved = false;
    int radialPointerX = 0, radialPointerY = 0;

    // The view after a level starts or control passes to another member (see ResetViewState).
    int viewModeRequest = 2; // 1 force third person once, 0 apply the chosen mode once, 2 done
    int chosenViewMode = 1;

    std::vector<std::string> typedWords;
    bool debugWordsEnabled = false;
};
