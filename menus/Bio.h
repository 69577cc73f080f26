#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Bio : public GameState {
public:
    static Bio* Instance();

    void Update() override {}
    void Draw() override {}
    bool IsMenu() const override { return true; }

private:
    friend Bio* SingletonInstance<Bio>();
    Bio() = default;
};
