#include "campaign/CampaignState.h"

#include "engine/core/q3DError.h"
#include "media/Sound2D.h"

namespace {

constexpr const char* errorSoundPath = "Sound/buzzer.wav";

} // namespace

CampaignState* CampaignState::Instance()
{
    return SingletonInstance<CampaignState>();
}

CampaignState::CampaignState() : errorSound(std::make_unique<Sound2D>())
{
    if (errorSound->Create(Application::Instance()->GetSoundSystem(), errorSoundPath) < 0)
        throw q3DError("Error loading %s", errorSoundPath);
}

CampaignState::~CampaignState() = default;
