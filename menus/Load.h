#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Load : public GameState {
public:
    static Load* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend Load* SingletonInstance<Load>();
    Load() = default;
};
