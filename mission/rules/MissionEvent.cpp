#include "mission/rules/MissionEvent.h"

bool MissionEvent::Step(float dt)
{
    if (kind == ExpiringKind) {
        countdown -= dt;
        if (countdown <= 0.0f)
            noise = 0.0f; // over: only the place is left for whoever searches it
        return countdown <= 0.0f && references <= 0 && targetedByCount <= 0;
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
