#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class WaitingForHost : public GameState {
public:
    static WaitingForHost* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend WaitingForHost* SingletonInstance<WaitingForHost>();
    WaitingForHost() = default;
};
