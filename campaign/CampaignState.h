#pragma once

#include "app/framework/Application.h"
#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

class Sound2D;

// Stand-in until the campaign is built: an empty screen that sets the Application's state kind.
class CampaignState : public GameState {
public:
    static CampaignState* Instance();

    void Update() override {}
    void Draw() override {}
    int GetSaveKind() const override { return Application::CampaignKind; }

    // The sound that refuses a key on the options screen; the campaign's data brings it, so
    // there is none until the campaign is built.
    Sound2D* errorSound = nullptr;

private:
    friend CampaignState* SingletonInstance<CampaignState>();
    CampaignState() = default;
};
