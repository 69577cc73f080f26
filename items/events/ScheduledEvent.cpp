#include "items/events/ScheduledEvent.h"

#include <algorithm>
#include <vector>

#include "engine/core/EngineLog.h"
#include "engine/serial/SaveStream.h"
#include "items/events/AirStrike.h"

namespace {

std::vector<ScheduledEvent*>& Events()
{
    static std::vector<ScheduledEvent*> events;
    return events;
}

} // namespace

ScheduledEvent::ScheduledEvent() { Events().push_back(this); }

ScheduledEvent::~ScheduledEvent()
{
    std::vector<ScheduledEvent*>& events = Events();
    const auto at = std::find(events.begin(), events.end(), this);
    if (at == events.end())
        return;
    *at = events.back();
    events.pop_back();
}

void ScheduledEvent::SaveTagged(ScheduledEvent& event, SaveStream& stream)
{
    stream.WriteInt32(event.GetTypeTag());
    event.Save(stream);
}

ScheduledEvent* ScheduledEvent::LoadTagged(SaveStream& stream)
{
    const std::int32_t tag = stream.ReadInt32();
    if (tag != 0) {
        LogToEngine("Scheduled event of unknown type %d in the save; nothing is made", tag);
        return nullptr;
    }
    auto strike = std::make_unique<AirStrike>();
    strike->Load(stream);
    return strike.release();
}

int ScheduledEventList::Count() { return int(Events().size()); }

ScheduledEvent* ScheduledEventList::At(int index)
{
    const std::vector<ScheduledEvent*>& events = Events();
    return index >= 0 && index < int(events.size()) ? events[std::size_t(index)] : nullptr;
}

void ScheduledEventList::UpdateAll(float time)
{
    // A snapshot: an event made during the walk waits for the next frame.
    const std::vector<ScheduledEvent*> walk = Events();
    for (ScheduledEvent* event : walk)
        if (!event->IsFinished())
            event->Update(time);
    for (ScheduledEvent* event : walk)
        if (event->IsFinished())
            delete event;
}

void ScheduledEventList::DrawAll(Device* device)
{
    for (ScheduledEvent* event : Events())
        if (!event->IsFinished())
            event->Draw(device);
}

void ScheduledEventList::DeleteAll()
{
    while (!Events().empty())
        delete Events().back();
}
