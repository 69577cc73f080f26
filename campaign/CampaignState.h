#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

// Stand-in until the campaign is built: an empty screen whose identity sets the Application's
// state kind.
class CampaignState : public GameState {
public:
    static CampaignState* Instance();

    void Update() override {}
    void Draw() override {}

private:
    friend CampaignState* SingletonInstance<CampaignState>();
    CampaignState() = default;
};
