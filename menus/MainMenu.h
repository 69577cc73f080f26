#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built. (The real main menu starts the campaign
// named on the command line from KeyDown(13).)
class MainMenu : public GameState {
public:
    static MainMenu* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend MainMenu* SingletonInstance<MainMenu>();
    MainMenu() = default;
};
