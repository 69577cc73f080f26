#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Load : public GameState {
public:
    static Load* Instance();

    void Update() override {}
    void Draw() override {}
    bool IsMenu() const override { return true; }

private:
    friend Load* SingletonInstance<Load>();
    Load() = default;
};
