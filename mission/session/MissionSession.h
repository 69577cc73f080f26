#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The session the mission runs in: the mission file and its command-line map, the campaign's
// kind of mission, and the network game's fields (a host or client to come; this build is never
// either).
class MissionSession {
public:
    static constexpr int MissionFileSize = 256;
    static constexpr int ServerAddressSize = 16;

    MissionSession();
    ~MissionSession();
    MissionSession(const MissionSession&) = delete;
    MissionSession& operator=(const MissionSession&) = delete;

    bool cheats = false;
    bool tutorial = false;
    char missionFile[MissionFileSize] = {};
    char commandLineMap[MissionFileSize] = {}; // "-map", copied by the new-game reset
    std::int32_t missionWord = 0; // carried through saves unchanged
    bool missionFlags[2] = {};  // cleared before the first screen
    bool networkGame = false;   // set when a server starts or a client connects
    bool sessionFlags[2] = {};  // cleared at start-up
    bool serverRequested = false;
    bool clientRequested = false;
    bool connect = false;
    bool server = false;
    char serverAddress[ServerAddressSize] = {};
    std::uint16_t maxPlayers = 0xFFFF;  // 0xFFFF: not given
    std::int32_t optionCopies[4] = {};  // options 0, 1, 31 and 7
    bool cancelFlag = false;
    bool downloadFinished = false;
    bool missionRunning = false;
    bool clockRunning = false;
    std::uint32_t sessionStart = 0;
    int maximumPlayerCount = -1;
    bool showLoadingScreen = true;
    // Set by the campaign for the mission it runs: its kind (0 none) and reinforcement state.
    int campaignMissionKind = 0;
    int campaignReinforcementState = 0;
    // The name of a player slot; empty hook: "Player <slot>".
    std::function<std::string(int slot)> playerName;
};
