#include "campaign/CampaignState.h"

#include "characters/level/NetworkSession.h"
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

void CampaignState::LoadItemDefinitions()
{
    if (itemDefinitionsLoaded)
        return;
    itemDefinitionsLoaded = true;
    // A client that does not host reads the definitions the server sent.
    LoadItemDefinitionFolder(itemDefinitions, IsNetworkClientConnected() && !IsNetworkServerActive());
}

const ItemDefinition* CampaignState::FindItemDefinition(const char* name) const
{
    return name ? itemDefinitions.Find(name) : nullptr;
}

const ItemDefinition* CampaignState::LookUpItemDefinition(const char* name)
{
    CampaignState* campaign = Instance();
    campaign->LoadItemDefinitions();
    return campaign->FindItemDefinition(name);
}

const ItemDefinition* CampaignState::GetItemDefinition(int index) const
{
    if (index < 0 || index >= GetItemDefinitionCount())
        return nullptr;
    return &itemDefinitions.At(std::size_t(index));
}

void CampaignState::AddItemDefinition(std::unique_ptr<ItemDefinition> definition)
{
    if (definition)
        itemDefinitions.Insert(std::move(definition));
}
