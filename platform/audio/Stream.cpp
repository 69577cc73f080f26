#include "platform/audio/Stream.h"

#include <vector>

#include "platform/audio/AudioFiles.h"
#include "platform/audio/Clip.h"
#include "platform/audio/Driver.h"

namespace platform::audio {

std::unique_ptr<Stream> Stream::Open(Driver& driver, const char* name)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(name, bytes))
        return nullptr;
    std::unique_ptr<Stream> stream(new Stream());
    stream->clip = Clip::Decode(driver, bytes.data(), bytes.size(), false);
    if (!stream->clip)
        return nullptr;
    stream->voice = std::make_unique<Sample>(driver.GetCore());
    stream->voice->SetClip(stream->clip.get());
    return stream;
}

Stream::~Stream()
{
    voice.reset();
    clip.reset();
}

void Stream::Start() { voice->Start(); }
void Stream::Pause(bool pause)
{
    if (pause)
        voice->Stop();
    else
        voice->Resume();
}
VoiceStatus Stream::Status() const { return voice->Status(); }
void Stream::SetLoopCount(int loops) { voice->SetLoopCount(loops); }
void Stream::SetPlaybackRate(int rate) { voice->SetPlaybackRate(rate); }
void Stream::VolumePan(float& volume, float& pan) const
{
    volume = voice->Volume();
    pan = voice->Pan();
}
void Stream::SetVolumePan(float volume, float pan) { voice->SetVolumePan(volume, pan); }

}
