#pragma once

#include "app/GameState.h"
#include "app/Singletons.h"

#include <cstdint>

// Stand-in for the options: the 33 option values with their defaults and the player name, with
// what the program entry reads. Reading and writing "Bexal.cfg" and "keys.cfg", the key bindings
// and the options screen come with the real one.
class Options : public GameState {
public:
    static constexpr int OptionCount = 33;
    static constexpr int PlayerNameSize = 25;

    // Option indexes the program entry reads.
    static constexpr int Difficulty = 0;
    static constexpr int DamageRealism = 1;
    static constexpr int ShowFiringEnemyDirection = 7;
    static constexpr int SoundProvider = 19;
    static constexpr int SpeakerConfiguration = 23;
    static constexpr int ShowNamesOverHeads = 31;

    static Options* Instance();

    void Update() override {}
    void Draw() override {}

    // Keeps the defaults for now; returns 0.
    int LoadConfig();
    // Keeps at most 24 characters of the name; sending it to a server comes with the network code.
    void SetPlayerName(const char* name, bool send);
    const char* GetPlayerName() const { return playerName; }

    std::int32_t GetOption(int index) const;
    void SetOption(int index, std::int32_t value);

private:
    friend Options* SingletonInstance<Options>();
    Options();

    std::int32_t options[OptionCount];
    char playerName[PlayerNameSize] = "Player";
};
