#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class BriefingArt : public GameState {
public:
    static BriefingArt* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend BriefingArt* SingletonInstance<BriefingArt>();
    BriefingArt() = default;
};
