#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in until the campaign is built: an empty screen whose identity sets the Application's
// state kind.
class WaypointSelectionState : public GameState {
public:
    static WaypointSelectionState* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend WaypointSelectionState* SingletonInstance<WaypointSelectionState>();
    WaypointSelectionState() = default;
};
