#pragma once

#include "app/framework/Application.h"
#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in until the campaign is built: an empty screen that sets the Application's state kind.
// state kind.
class WaypointSelectionState : public GameState {
public:
    static WaypointSelectionState* Instance();

    void Update() override {}
    void Draw() override {}
    int GetSaveKind() const override { return Application::WaypointSelectionKind; }

private:
    friend WaypointSelectionState* SingletonInstance<WaypointSelectionState>();
    WaypointSelectionState() = default;
};
