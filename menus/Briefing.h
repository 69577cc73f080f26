#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in until the menus are built: at its first frame it starts the mission named by the
// in-game state's mission file as the briefing's start button would (a new game, the mission
// file and its squad, the level, the in-game state current). A mission that fails to load is
// shown as a notice; a command-line start then ends with its text.
class Briefing : public GameState {
public:
    static Briefing* Instance();

    int Enter() override;
    void Update() override;
    void Draw() override {}
    bool IsMenu() const override { return true; }

    void StartMission();

private:
    friend Briefing* SingletonInstance<Briefing>();
    Briefing() = default;

    bool starting = false;
};
