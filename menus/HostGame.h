#pragma once

#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"

// Stand-in for the host-game screen: the server name and the master-server listing choice that
// the start-up fills in; the screen itself is empty until the menus are built.
class HostGame : public GameState {
public:
    static constexpr int ServerNameSize = 30;

    static HostGame* Instance();

    void Update() override {}
    void Draw() override {}

    void SetListedOnMasterServer(bool listed) { listedOnMasterServer = listed; }
    bool IsListedOnMasterServer() const { return listedOnMasterServer; }
    void PublishSettings() {}

    char serverName[ServerNameSize] = {};

private:
    friend HostGame* SingletonInstance<HostGame>();
    HostGame() = default;

    bool listedOnMasterServer = true;
};
