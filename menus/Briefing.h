#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Briefing : public GameState {
public:
    static Briefing* Instance();

    void Update() override {}
    void Draw() override {}
    bool IsMenu() const override { return true; }

private:
    friend Briefing* SingletonInstance<Briefing>();
    Briefing() = default;
};
