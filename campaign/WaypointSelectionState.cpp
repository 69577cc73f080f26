#include "campaign/WaypointSelectionState.h"

WaypointSelectionState* WaypointSelectionState::Instance()
{
    return SingletonInstance<WaypointSelectionState>();
}
