#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class EscMenu : public GameState {
public:
    static EscMenu* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend EscMenu* SingletonInstance<EscMenu>();
    EscMenu() = default;
};
