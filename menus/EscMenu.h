#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class EscMenu : public GameState {
public:
    static EscMenu* Instance();

    void Update() override {}
    void Draw() override {}
    bool IsMenu() const override { return true; }

private:
    friend EscMenu* SingletonInstance<EscMenu>();
    EscMenu() = default;
};
