#pragma once

#include <memory>

#include "app/framework/Application.h"
#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"
#include "items/ItemDefinition.h"

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

    // --- item definitions, sorted by name ---
    // Reads every ".idf" file once; throws q3DError on a duplicate item name.
    void LoadItemDefinitions();
    // Item names compare exactly; null when absent.
    const ItemDefinition* FindItemDefinition(const char* name) const;
    // The registry as the mission asks it: read on first use, then searched.
    static const ItemDefinition* LookUpItemDefinition(const char* name);
    int GetItemDefinitionCount() const { return int(itemDefinitions.Count()); }
    // Null outside 0 .. count - 1.
    const ItemDefinition* GetItemDefinition(int index) const;
    void AddItemDefinition(std::unique_ptr<ItemDefinition> definition);
    // Deletes the definitions that a level added (kind 4) when it is unloaded.
    void RemoveLevelItemDefinitions() { itemDefinitions.RemoveKind(4); }

private:
    friend CampaignState* SingletonInstance<CampaignState>();
    // Loads the error sound with the Application's sound system; throws q3DError when it
    // cannot be loaded.
    CampaignState();

    ItemDefinitionList itemDefinitions;
    bool itemDefinitionsLoaded = false;
};
