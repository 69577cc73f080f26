#pragma once

#include <cstdint>
#include <functional>

#include "characters/objects/GameObject.h"

class Character;

// An entry of the in-game event list: something that happened at a place (a noise, a blast, a
// body falling) that lives for a countdown. Kind 4 runs its countdown down and then leaves the
// list once nothing holds a reference to it (nor targets it: a soldier searching the place keeps
// it); kind 5 waits out its time and fires its action once. The AI senses an event through the
// stimulus values of its game object: it is heard with its noise while its countdown runs.
class MissionEvent : public GameObject {
public:
    static constexpr int ObjectType = 4;
    static constexpr int ExpiringKind = 4;
    static constexpr int TimedActionKind = 5;
    static constexpr float NoCountdown = -3.4e38f;

    explicit MissionEvent(int kind) : kind(kind) { objectType = ObjectType; }

    // Advances the countdown by dt seconds; true when the event is finished and should be removed
    // from the list and deleted.
    bool Step(float dt);

    Vector3 startPosition;
    Character* source = nullptr;
    std::uintptr_t data = 0; // a pointer or a number (a destroyed object passes 250.0)
    std::uint8_t flag = 0;
    int kind;
    int references = 0;
    float countdown = NoCountdown;
    std::function<void()> action; // kind 5
    bool fired = false;
};
