#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class LoadGame : public GameState {
public:
    static LoadGame* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend LoadGame* SingletonInstance<LoadGame>();
    LoadGame() = default;
};
