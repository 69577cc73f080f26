#pragma once

#include <cstdint>
#include <memory>

class Device;
struct SaveStream;

// A world event that runs on its own over several frames (the airstrike). Every event enters the
// one scheduled-event list when it is made and leaves it when it is deleted; the list's walk
// deletes the events that finished during it, after the walk.
class ScheduledEvent {
public:
    ScheduledEvent();
    virtual ~ScheduledEvent();
    ScheduledEvent(const ScheduledEvent&) = delete;
    ScheduledEvent& operator=(const ScheduledEvent&) = delete;

    virtual void Update(float time) = 0;
    virtual void Draw(Device* device) = 0;
    virtual std::int32_t GetTypeTag() { return 0; }
    virtual void Save(SaveStream& stream) { (void)stream; }
    virtual void Load(SaveStream& stream) { (void)stream; }

    // Set by the event when its work is done; the list deletes it after the walk.
    bool IsFinished() const { return finished; }

    // The 4-byte type tag, then the event's block.
    static void SaveTagged(ScheduledEvent& event, SaveStream& stream);
    // Tag 0 makes an airstrike and loads it; another tag makes nothing (logged) and answers null.
    static ScheduledEvent* LoadTagged(SaveStream& stream);

protected:
    bool finished = false;
};

// The list of events alive now, in no kept order (a leaving event takes the last one's place).
namespace ScheduledEventList {
int Count();
ScheduledEvent* At(int index);
// Every event's Update; the events that finished in it are deleted once the walk is over, so
// none is skipped or visited after it is gone.
void UpdateAll(float time);
void DrawAll(Device* device);
// The level goes: every event is deleted.
void DeleteAll();
} // namespace ScheduledEventList
