#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class PlayerConfig : public GameState {
public:
    static PlayerConfig* Instance();

    void Update() override {}
    void Draw() override {}
    bool IsMenu() const override { return true; }

private:
    friend PlayerConfig* SingletonInstance<PlayerConfig>();
    PlayerConfig() = default;
};
