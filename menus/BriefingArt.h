#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class BriefingArt : public GameState {
public:
    static BriefingArt* Instance();

    void Update() override {}
    void Draw() override {}
    bool IsMenu() const override { return true; }

private:
    friend BriefingArt* SingletonInstance<BriefingArt>();
    BriefingArt() = default;
};
