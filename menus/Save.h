#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Save : public GameState {
public:
    static Save* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend Save* SingletonInstance<Save>();
    Save() = default;
};
