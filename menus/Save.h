#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in: an empty screen until the menus are built.
class Save : public GameState {
public:
    static Save* Instance();

    void Update() override {}
    void Draw() override {}
    bool IsMenu() const override { return true; }

private:
    friend Save* SingletonInstance<Save>();
    Save() = default;
};
