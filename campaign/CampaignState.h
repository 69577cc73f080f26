#pragma once

#include <memory>

#include "app/framework/Application.h"
#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

class Sound2D;

// Stand-in until the campaign is built: an empty screen that sets the Application's state kind
// and holds the campaign's error sound.
class CampaignState : public GameState {
public:
    static CampaignState* Instance();
    ~CampaignState() override;

    void Update() override {}
    void Draw() override {}
    int GetSaveKind() const override { return Application::CampaignKind; }

    // The buzzer that refuses a key on the options screen.
    std::unique_ptr<Sound2D> errorSound;

private:
    friend CampaignState* SingletonInstance<CampaignState>();
    // Loads the error sound with the Application's sound system; throws q3DError when it
    // cannot be loaded.
    CampaignState();
};
