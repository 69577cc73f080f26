#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Debrief : public GameState {
public:
    static Debrief* Instance();

    void Update() override {}
    void Draw() override {}
    bool IsMenu() const override { return true; }

private:
    friend Debrief* SingletonInstance<Debrief>();
    Debrief() = default;
};
