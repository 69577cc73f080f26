#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;

namespace platform::video {

// A stream's sound as the player reads it: PCM.
struct WaveFormat {
    std::uint16_t formatTag = 1;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

// A video stream's picture as its file describes it.
struct VideoFormat {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0; // the stream's four-character code
};

enum class StreamType { Audio, Video };

struct StreamData;

// One stream of an open file. Samples are video frames or sound blocks; times are milliseconds.
class AviStream {
public:
    ~AviStream();
    AviStream(const AviStream&) = delete;
    AviStream& operator=(const AviStream&) = delete;

    StreamType Type() const;
    std::int32_t Start() const { return 0; }
    std::int32_t Length() const;
    std::int32_t SampleToTime(std::int32_t sample) const;
    std::int32_t TimeToSample(std::int32_t time) const;
    const WaveFormat& AudioFormat() const;
    const VideoFormat& Format() const;
    // Sound blocks from start into buffer, as many as fit (count -1) or count. FileRead at or
    // beyond the end of the stream.
    std::int32_t Read(std::int32_t start, std::int32_t count, void* buffer, std::int32_t bufferBytes,
                      std::int32_t* bytesRead, std::int32_t* samplesRead) const;

private:
    friend class AviFile;
    friend class FrameDecoder;
    explicit AviStream(std::unique_ptr<StreamData> data);
    std::unique_ptr<StreamData> data;
};

// An AVI file opened for reading: its streams' formats, sound and compressed frames are read at
// open, so that playing never touches the file again.
class AviFile {
public:
    static std::unique_ptr<AviFile> Open(const char* path, std::int32_t& result);
    ~AviFile();

    // Stream number index of a type; null and NoData when there is none.
    AviStream* GetStream(StreamType type, int index, std::int32_t& result);

private:
    AviFile() = default;
    std::vector<std::unique_ptr<AviStream>> audio;
    std::vector<std::unique_ptr<AviStream>> video;
};

// How the caller wants pixels: 16 bits with masks, 24 or 32 bits.
struct PixelLayout {
    int bitsPerPixel = 32;
    std::uint32_t redMask = 0x00FF0000u;
    std::uint32_t greenMask = 0x0000FF00u;
    std::uint32_t blueMask = 0x000000FFu;

    bool operator==(const PixelLayout&) const = default;
};

struct DecoderState;
struct ReadAhead;

// Decompresses the frames of one video stream.
class FrameDecoder {
public:
    // Null when no decoder takes the stream's compression.
    static std::unique_ptr<FrameDecoder> Open(const AviStream& stream);
    ~FrameDecoder();

    // Decodes the frame at sample (from the nearest key frame before it when needed). False when
    // there is no such frame or it does not decode.
    bool Decode(std::int32_t sample);
    int FrameWidth();
    int FrameHeight();
    // Scales the last decoded frame to width x height into pixels (rows top to bottom).
    void Draw(std::uint8_t* pixels, int pitch, int width, int height, const PixelLayout& layout);
    // Decodes the frame at sample and draws it as Draw would, on the decoder's own thread, while
    // the caller goes on (a player asks for the next frame while the current one is shown). A
    // following Decode of that sample and Draw with the same arguments take the result, so
    // results are the same as without it; any other call waits for it first.
    void DecodeAhead(std::int32_t sample, int pitch, int width, int height, const PixelLayout& layout);
    // Draw into a buffer of pitch x height bytes by exchanging it for the picture decoded ahead,
    // when that is the last decoded frame drawn with these arguments; false (buffer untouched)
    // otherwise. Bytes outside the drawn rows then hold what the picture's buffer held.
    bool TakeDrawn(std::vector<std::uint8_t>& pixels, int pitch, int width, int height, const PixelLayout& layout);

private:
    FrameDecoder() = default;
    bool DecodeNow(std::int32_t sample);
    void DrawNow(std::uint8_t* pixels, int pitch, int width, int height, const PixelLayout& layout);
    // Waits until the frame decoded ahead, if any, is done.
    void FinishAhead();
    void RunAhead();

    std::unique_ptr<DecoderState> state;
    std::unique_ptr<ReadAhead> ahead;
};

}
