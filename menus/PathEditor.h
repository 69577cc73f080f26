#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class PathEditor : public GameState {
public:
    static PathEditor* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend PathEditor* SingletonInstance<PathEditor>();
    PathEditor() = default;
};
