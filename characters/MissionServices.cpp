#include "characters/MissionServices.h"

#include <utility>

namespace {

// Waits for the mission, which registers itself here when a level starts.
MissionServiceHooks mission;

} // namespace

void SetMissionServiceHooks(MissionServiceHooks hooks)
{
    mission = std::move(hooks);
}

const MissionServiceHooks& GetMissionServiceHooks()
{
    return mission;
}
