#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Briefing : public GameState {
public:
    static Briefing* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend Briefing* SingletonInstance<Briefing>();
    Briefing() = default;
};
