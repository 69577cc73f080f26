#pragma once

#include "app/framework/Application.h"
#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

#include <cstdint>

class Camera;
class D3DBitmap;
class World;
struct ServerSettings;

// The loading display's backdrop, drawn by MissionState::SetLoadingProgress; null when empty.
extern D3DBitmap* LoadingBackdrop;

// Stand-in for the in-game state: the session fields the start-up writes and the operations it
// calls. Levels, the network game and the game rules come with the real one; until then no level
// loads, no server starts and no connection is made.
class MissionState : public GameState {
public:
    static constexpr int MissionFileSize = 256;
    static constexpr int ServerAddressSize = 16;

    static MissionState* Instance();

    void Update() override {}
    void Draw() override {}
    int GetSaveKind() const override { return Application::MissionKind; }

    // Draws the loading backdrop centred in a frame of its own (a bar and the caption come with
    // the real loading display). A value equal to the last one or above 100 is ignored.
    void SetLoadingProgress(int progress, const char* caption);
    void BeginLevel();
    void ConnectToServer();
    void StartServer();
    void FillServerSettingsFromOptions(ServerSettings* settings);
    void ResetPlayers();
    void UnloadLevel();
    // Reloads the crosshair image of the crosshair option (nothing to reload without a level).
    void LoadCrosshair() {}

    bool IsLevelLoaded() const { return world != nullptr; }

    // Session fields.
    bool cheats = false;
    std::uint8_t squad = 0;
    char missionFile[MissionFileSize] = {};
    bool missionFlags[2] = {};  // cleared before the first screen
    bool networkGame = false;   // set when a server starts or a client connects
    bool sessionFlags[2] = {};  // cleared at start-up
    bool connect = false;
    bool server = false;
    char serverAddress[ServerAddressSize] = {};
    std::uint16_t maxPlayers = 0xFFFF;  // 0xFFFF: not given
    std::int32_t optionCopies[4] = {};  // options 0, 1, 31 and 7
    bool paused = false;
    World* world = nullptr;
    Camera* camera = nullptr; // the active camera while a level runs

private:
    friend MissionState* SingletonInstance<MissionState>();
    MissionState() = default;

    int lastProgress = -1;
};
