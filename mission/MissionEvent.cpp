#include "mission/MissionEvent.h"

bool MissionEvent::Step(float dt)
{
    if (kind == ExpiringKind) {
        countdown -= dt;
        return countdown <= 0.0f && references <= 0;
    }
    if (kind == TimedActionKind) {
        if (fired || countdown == NoCountdown)
            return false;
        countdown -= dt;
        if (countdown <= 0.0f) {
            fired = true;
            if (action)
                action();
        }
    }
    return false;
}
