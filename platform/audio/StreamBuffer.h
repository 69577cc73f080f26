#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace platform::audio {

struct Core;
class Driver;

// A looping sound buffer that its owner refills while it plays, one half at a time: the movie
// player's sound track. The mixer plays the two halves in turn; a half is heard again only after
// it has been rewritten (Lock, write, Unlock), so a late refill gives silence, never old sound.
class StreamBuffer {
public:
    // PCM of 8 or 16 bits, 1 or 2 channels; size a multiple of twice the block alignment.
    // Null when the format is refused.
    static std::unique_ptr<StreamBuffer> Create(const Driver& driver, int channels, int rate, int bits, std::uint32_t size);
    ~StreamBuffer();

    StreamBuffer(const StreamBuffer&) = delete;
    StreamBuffer& operator=(const StreamBuffer&) = delete;

    std::uint32_t Size() const { return static_cast<std::uint32_t>(data.size()); }
    // Writable bytes at offset; null when the range leaves the buffer.
    std::uint8_t* Lock(std::uint32_t offset, std::uint32_t bytes);
    // Hands the written halves inside the range to the mixer.
    void Unlock(std::uint32_t offset, std::uint32_t bytes);
    void Play();
    void Stop();
    void SetCurrentPosition(std::uint32_t position);
    // The byte being played.
    std::uint32_t GetCurrentPosition();
    bool IsPlaying() const { return playing; }

private:
    StreamBuffer() = default;
    void Reclaim();

    std::shared_ptr<Core> core;
    unsigned source = 0;
    unsigned halves[2] = {0, 0};
    int format = 0;
    int rate = 0;
    std::vector<std::uint8_t> data;
    // Halves queued on the source, in playing order.
    std::deque<int> queued;
    // The half that follows the last one heard, for the position of a drained buffer.
    int nextHalf = 0;
    bool playing = false;
};

}
