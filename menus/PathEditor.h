#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

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
