#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Bio : public GameState {
public:
    static Bio* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend Bio* SingletonInstance<Bio>();
    Bio() = default;
};
