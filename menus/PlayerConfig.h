#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class PlayerConfig : public GameState {
public:
    static PlayerConfig* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend PlayerConfig* SingletonInstance<PlayerConfig>();
    PlayerConfig() = default;
};
