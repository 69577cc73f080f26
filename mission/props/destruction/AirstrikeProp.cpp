#include "mission/props/destruction/AirstrikeProp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mission/rules/MissionEvent.h"
#include "world/map/MapObject.h"
#include "world/props/PropArena.h"

namespace {

std::vector<AirstrikeProp*>& Zones()
{
    static std::vector<AirstrikeProp*> zones;
    return zones;
}

} // namespace

AirstrikeProp::AirstrikeProp() = default;
AirstrikeProp::~AirstrikeProp() = default;

std::uint32_t AirstrikeProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    char copy[256];
    std::snprintf(copy, sizeof copy, "%s", line ? line : "");
    char* rest = nullptr;
    strtok_r(copy, " \n\r\t", &rest);
    if (const char* token = strtok_r(nullptr, " \n\r\t", &rest))
        std::snprintf(name, sizeof name, "%s", token);
    if (const char* token = strtok_r(nullptr, " \n\r\t", &rest)) {
        const float value = float(std::atof(token));
        // A radius that is no distance keeps the default.
        radius = std::isfinite(value) && value >= 0.0f ? value : kDefaultRadius;
    }
    Zones().push_back(this);
    listed = true;
    return GetFlags();
}

MissionEvent* AirstrikeProp::MakeEvent()
{
    if (event)
        return event.get();
    event = std::make_unique<MissionEvent>(MissionEvent::TimedActionKind);
    if (object)
        event->position = event->startPosition = object->GetPosition();
    // The event carries the zone's name; the prop keeps both values for whoever calls the strike.
    event->data = reinterpret_cast<std::uintptr_t>(name);
    event->references = 1;
    return event.get();
}

void AirstrikeProp::Detach(MapObject*)
{
    event.reset();
    if (!listed)
        return;
    listed = false;
    std::vector<AirstrikeProp*>& zones = Zones();
    zones.erase(std::remove(zones.begin(), zones.end(), this), zones.end());
}

Prop* AirstrikePropFactory() { return MakeArenaProp<AirstrikeProp>(&AirstrikePropFactory); }

int AirstrikePropCount() { return int(Zones().size()); }

AirstrikeProp* AirstrikePropAt(int index)
{
    const std::vector<AirstrikeProp*>& zones = Zones();
    return index >= 0 && index < int(zones.size()) ? zones[std::size_t(index)] : nullptr;
}
