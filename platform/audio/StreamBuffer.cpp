#include "platform/audio/StreamBuffer.h"

#include <algorithm>

#include "platform/audio/AudioFiles.h"
#include "platform/audio/Core.h"
#include "platform/audio/Driver.h"

namespace platform::audio {

std::unique_ptr<StreamBuffer> StreamBuffer::Create(const Driver& driver, int channels, int rate, int bits, std::uint32_t size)
{
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels * bits / 8);
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate <= 0 || size == 0 || size % (2 * blockAlign) != 0) {
        SetLastError("Unsupported sound buffer format.");
        return nullptr;
    }
    std::unique_ptr<StreamBuffer> buffer(new StreamBuffer());
    buffer->core = driver.GetCore();
    buffer->core->MakeCurrent();
    alGetError();
    alGenSources(1, &buffer->source);
    alGenBuffers(2, buffer->halves);
    if (alGetError() != AL_NO_ERROR) {
        SetLastError("The mixer has no voice for the sound buffer.");
        return nullptr;
    }
    alSourcei(buffer->source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(buffer->source, AL_ROLLOFF_FACTOR, 0.0f);
    alSource3f(buffer->source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    buffer->format = bits == 8 ? (channels == 2 ? AL_FORMAT_STEREO8 : AL_FORMAT_MONO8)
                               : (channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16);
    buffer->rate = rate;
    buffer->data.assign(size, bits == 8 ? 0x80 : 0);
    return buffer;
}

StreamBuffer::~StreamBuffer()
{
    if (!core)
        return;
    core->MakeCurrent();
    if (source) {
        alSourceStop(source);
        alSourcei(source, AL_BUFFER, 0);
        alDeleteSources(1, &source);
    }
    if (halves[0])
        alDeleteBuffers(2, halves);
}

void StreamBuffer::Reclaim()
{
    core->MakeCurrent();
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0 && !queued.empty()) {
        ALuint id = 0;
        alSourceUnqueueBuffers(source, 1, &id);
        nextHalf = (queued.front() + 1) % 2;
        queued.pop_front();
    }
}

std::uint8_t* StreamBuffer::Lock(std::uint32_t offset, std::uint32_t bytes)
{
    if (offset > data.size() || bytes > data.size() - offset)
        return nullptr;
    return data.data() + offset;
}

void StreamBuffer::Unlock(std::uint32_t offset, std::uint32_t bytes)
{
    Reclaim();
    const std::uint32_t half = Size() / 2;
    for (int h = 0; h < 2; ++h) {
        const std::uint32_t start = static_cast<std::uint32_t>(h) * half;
        if (offset > start || offset + bytes < start + half)
            continue;
        bool busy = false;
        for (int q : queued)
            busy = busy || q == h;
        if (busy)
            continue;
        alBufferData(halves[h], format, data.data() + start, static_cast<ALsizei>(half), rate);
        alSourceQueueBuffers(source, 1, &halves[h]);
        queued.push_back(h);
    }
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    // A source that ran dry while it waited for this half starts again.
    if (playing && state != AL_PLAYING && !queued.empty())
        alSourcePlay(source);
}

void StreamBuffer::Play()
{
    core->MakeCurrent();
    playing = true;
    if (!queued.empty())
        alSourcePlay(source);
}

void StreamBuffer::Stop()
{
    core->MakeCurrent();
    alSourcePause(source);
    playing = false;
}

void StreamBuffer::SetCurrentPosition(std::uint32_t position)
{
    // The buffer keeps its bytes: playing goes on from the half holding the position (positions
    // are only ever set to the start of a half).
    core->MakeCurrent();
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    queued.clear();
    const std::uint32_t half = Size() / 2;
    const int first = position >= half ? 1 : 0;
    for (int i = 0; i < 2; ++i) {
        const int h = (first + i) % 2;
        alBufferData(halves[h], format, data.data() + static_cast<std::size_t>(h) * half, static_cast<ALsizei>(half), rate);
        alSourceQueueBuffers(source, 1, &halves[h]);
        queued.push_back(h);
    }
    nextHalf = first;
    if (playing)
        alSourcePlay(source);
}

std::uint32_t StreamBuffer::GetCurrentPosition()
{
    Reclaim();
    const std::uint32_t half = Size() / 2;
    if (queued.empty())
        return static_cast<std::uint32_t>(nextHalf) * half;
    ALint offset = 0;
    alGetSourcei(source, AL_BYTE_OFFSET, &offset);
    const std::uint32_t within = std::min(static_cast<std::uint32_t>(offset), half - 1);
    return static_cast<std::uint32_t>(queued.front()) * half + within;
}

}
