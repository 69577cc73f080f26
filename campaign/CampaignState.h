#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

class Sound2D;

// Stand-in until the campaign is built: an empty screen whose identity sets the Application's
// state kind.
class CampaignState : public GameState {
public:
    static CampaignState* Instance();

    void Update() override {}
    void Draw() override {}

    // The sound that refuses a key on the options screen; the campaign's data brings it, so
    // there is none until the campaign is built.
    Sound2D* errorSound = nullptr;

private:
    friend CampaignState* SingletonInstance<CampaignState>();
    CampaignState() = default;
};
