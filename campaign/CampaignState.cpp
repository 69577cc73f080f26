#include "campaign/CampaignState.h"

CampaignState* CampaignState::Instance()
{
    return SingletonInstance<CampaignState>();
}
