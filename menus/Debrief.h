#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Debrief : public GameState {
public:
    static Debrief* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend Debrief* SingletonInstance<Debrief>();
    Debrief() = default;
};
