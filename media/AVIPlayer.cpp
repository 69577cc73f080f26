#include "media/AVIPlayer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "media/SoundSystem.h"
#include "platform/audio/Driver.h"
#include "platform/audio/StreamBuffer.h"
#include "platform/os/Path.h"
#include "platform/video/AviResult.h"
#include "renderer/Device.h"

namespace aviresult = platform::video::aviresult;
using platform::video::StreamType;

namespace {

// Larger pictures than this are refused instead of allocated.
constexpr int MaxPictureSide = 8192;

struct ErrorName {
    std::int32_t code;
    const char* name;
};

constexpr ErrorName ErrorNames[] = {
    {0, "AVIERR_OK"},
    {aviresult::ClassNotRegistered, "REGDB_E_CLASSNOTREG"},
    {aviresult::Memory, "AVIERR_MEMORY"},
    {aviresult::Unsupported, "AVIERR_UNSUPPORTED"},
    {aviresult::BadFormat, "AVIERR_BADFORMAT"},
    {aviresult::Internal, "AVIERR_INTERNAL"},
    {aviresult::BadFlags, "AVIERR_BADFLAGS"},
    {aviresult::BadParam, "AVIERR_BADPARAM"},
    {aviresult::BadSize, "AVIERR_BADSIZE"},
    {aviresult::BadHandle, "AVIERR_BADHANDLE"},
    {aviresult::FileRead, "AVIERR_FILEREAD"},
    {aviresult::FileWrite, "AVIERR_FILEWRITE"},
    {aviresult::FileOpen, "AVIERR_FILEOPEN"},
    {aviresult::Compressor, "AVIERR_COMPRESSOR"},
    {aviresult::NoCompressor, "AVIERR_NOCOMPRESSOR"},
    {aviresult::ReadOnly, "AVIERR_READONLY"},
    {aviresult::NoData, "AVIERR_NODATA"},
    {aviresult::BufferTooSmall, "AVIERR_BUFFERTOOSMALL"},
    {aviresult::CantCompress, "AVIERR_CANTCOMPRESS"},
    {aviresult::UserAbort, "AVIERR_USERABORT"},
    {aviresult::Error, "AVIERR_ERROR"},
    {AVIPlayer::AVIPLAYERR_NOMOREFRAMES, "AVIPLAYERR_NOMOREFRAMES"},
    {AVIPlayer::AVIPLAYERR_INVALIDSTREAM, "AVIPLAYERR_INVALIDSTREAM"},
    {AVIPlayer::AVIPLAYERR_GETFRAMEOPENFAIL, "AVIPLAYERR_GETFRAMEOPENFAIL"},
    {AVIPlayer::AVIPLAYERR_NOSUCHFILE, "AVIPLAYERR_NOSUCHFILE"},
    {AVIPlayer::AVIPLAYERR_LOOPED, "AVIPLAYERR_LOOPED"},
    {AVIPlayer::AVIPLAYERR_NOTINIT, "AVIPLAYERR_NOTINIT"},
};

platform::video::PixelLayout LayoutFor(int bits, int format)
{
    platform::video::PixelLayout layout;
    layout.bitsPerPixel = bits;
    if (bits == 16) {
        if (format == FormatX1R5G5B5 || format == FormatA1R5G5B5)
            layout = {16, 0x7C00, 0x03E0, 0x001F};
        else if (format == FormatX4R4G4B4 || format == FormatA4R4G4B4)
            layout = {16, 0x0F00, 0x00F0, 0x000F};
        else
            layout = {16, 0xF800, 0x07E0, 0x001F};
    }
    return layout;
}

}

AVIPlayer::AVIPlayer() = default;

AVIPlayer::~AVIPlayer() { Close(); }

const char* AVIPlayer::GetErrorName(std::int32_t code)
{
    for (const ErrorName& entry : ErrorNames)
        if (entry.code == code)
            return entry.name;
    return "Unknown AVI File error.";
}

std::int32_t AVIPlayer::Open(const char* path, SoundSystem* sound, platform::os::Window* ownerWindow)
{
    Close();
    soundSystem = sound;
    window = ownerWindow;
    if (soundSystem && soundSystem->Release() == 0 && soundSystem->GetDriver())
        output = soundSystem->GetDriver();

    const std::optional<std::string> resolved = path ? platform::os::ResolvePath(path) : std::nullopt;
    std::FILE* probe = resolved ? std::fopen(resolved->c_str(), "rb") : nullptr;
    if (!probe)
        return Result(AVIPLAYERR_NOSUCHFILE);
    std::fclose(probe);

    std::int32_t code = aviresult::Ok;
    file = platform::video::AviFile::Open(resolved->c_str(), code);
    if (!file) {
        Close();
        return Result(code);
    }
    for (audioCount = 0; audioCount < MaxStreams; ++audioCount) {
        platform::video::AviStream* stream = file->GetStream(StreamType::Audio, audioCount, code);
        if (!stream)
            break;
        audio[audioCount].stream = stream;
        audio[audioCount].format = stream->AudioFormat();
    }
    for (videoCount = 0; videoCount < MaxStreams; ++videoCount) {
        platform::video::AviStream* stream = file->GetStream(StreamType::Video, videoCount, code);
        if (!stream)
            break;
        video[videoCount].stream = stream;
        video[videoCount].format = stream->Format();
    }
    return Result(aviresult::Ok);
}

void AVIPlayer::Close()
{
    for (int i = 0; i < MaxStreams; ++i) {
        ReleaseSound(i);
        audio[i] = AudioTrack{};
    }
    output = nullptr;
    if (soundSystem)
        soundSystem->Reacquire();
    soundSystem = nullptr;
    window = nullptr;
    for (int i = 0; i < MaxStreams; ++i)
        video[i] = VideoTrack{};
    file.reset();
    audioCount = 0;
    videoCount = 0;
}

void AVIPlayer::ReleaseSound(int stream)
{
    AudioTrack& track = audio[stream];
    if (track.buffer)
        track.buffer->Stop();
    track.buffer.reset();
    track.readBuffer.clear();
    track.readBuffer.shrink_to_fit();
    track.playing = false;
    track.toggle = 0;
    track.readPosition = 0;
}

bool AVIPlayer::HasSound(int stream) const
{
    return stream >= 0 && stream < MaxStreams && audio[stream].buffer != nullptr;
}

const platform::video::VideoFormat* AVIPlayer::GetVideoFormat(int stream)
{
    if (stream < 0 || stream >= videoCount) {
        Result(AVIPLAYERR_INVALIDSTREAM);
        return nullptr;
    }
    Result(aviresult::Ok);
    return &video[stream].format;
}

std::int32_t AVIPlayer::StartVideo(int stream, D3DBitmap* texture, int width, int height)
{
    if (stream < 0 || stream >= videoCount)
        return Result(AVIPLAYERR_INVALIDSTREAM);
    if (video[stream].started)
        StopVideo(stream);
    if (!texture || width <= 0 || height <= 0 || width > MaxPictureSide || height > MaxPictureSide)
        return Result(aviresult::BadParam);
    const int bits = texture->GetBitsPerPixel();
    if (bits != 16 && bits != 24 && bits != 32)
        return Result(aviresult::BadFormat);

    VideoTrack& track = video[stream];
    track.decoder = platform::video::FrameDecoder::Open(*track.stream);
    if (!track.decoder)
        return Result(AVIPLAYERR_GETFRAMEOPENFAIL);
    track.layout = LayoutFor(bits, texture->GetFormat());
    track.targetWidth = width;
    track.targetHeight = height;
    track.bitsPerPixel = bits;
    track.pitch = (width * bits + 31) / 32 * 4;
    track.dib.assign(static_cast<std::size_t>(track.pitch) * static_cast<std::size_t>(height), 0);
    track.length = track.stream->Length();
    track.endTime = track.stream->SampleToTime(track.stream->Start() + track.length);
    track.currentTime = 0;
    track.lastSample = 0;
    track.haveFrame = false;
    track.lastCopy = {};
    track.lastClock = -1;

    if (output && stream < audioCount) {
        AudioTrack& sound = audio[stream];
        const platform::video::WaveFormat& format = sound.format;
        sound.length = sound.stream->Length();
        std::uint32_t size = 2 * format.averageBytesPerSecond;
        if (track.endTime < 2000)
            size = static_cast<std::uint32_t>(static_cast<std::uint64_t>(track.endTime) * format.averageBytesPerSecond / 1000);
        // Each half must hold whole sample blocks, or the refills drift out of step.
        const std::uint32_t unit = 2u * std::max<std::uint32_t>(format.blockAlign, 1);
        size = std::max(size / unit * unit, unit);
        sound.bufferSize = size;
        sound.playing = false;
        sound.toggle = 0;
        sound.readPosition = 0;
        sound.earlierPasses = 0;
        const int channels = std::max<int>(format.channels, 1);
        sound.buffer = platform::audio::StreamBuffer::Create(*output, channels, static_cast<int>(format.samplesPerSecond),
                                                             format.blockAlign / channels * 8, size);
        if (sound.buffer)
            sound.readBuffer.assign(size, 0);
    }
    track.started = true;
    return Result(aviresult::Ok);
}

std::int32_t AVIPlayer::StartVideoAtTextureSize(int stream, D3DBitmap* texture)
{
    if (!texture)
        return Result(aviresult::BadParam);
    return StartVideo(stream, texture, texture->GetWidth(), texture->GetHeight());
}

std::int32_t AVIPlayer::Update(int stream, Device* device, D3DBitmap* texture, int x, int y, int width, int height, bool loop)
{
    if (stream < 0 || stream >= videoCount)
        return Result(AVIPLAYERR_INVALIDSTREAM);
    VideoTrack& track = video[stream];
    if (HasSound(stream)) {
        bool restart = false;
        if (track.lastClock == -1) {
            track.lastClock = 0;
            restart = true;
        } else if (track.lastClock == -2) {
            return Result(AVIPLAYERR_NOMOREFRAMES);
        }
        const std::int32_t time = StreamAudio(stream, restart, loop);
        if (time >= 0)
            return ShowFrameAt(stream, time, texture, x, y, width, height, loop);
        // The sound track broke: the rest of the movie runs on the device clock, silent.
        ReleaseSound(stream);
        track.lastClock = -1;
    }
    const std::int32_t now = device ? device->GetTime() : 0;
    const std::int32_t elapsed = track.lastClock < 0 ? 0 : now - track.lastClock;
    track.lastClock = now;
    return AdvanceFrame(stream, elapsed, texture, x, y, width, height, loop);
}

std::int32_t AVIPlayer::UpdateFullFrame(int stream, Device* device, D3DBitmap* texture, bool loop)
{
    if (stream < 0 || stream >= videoCount)
        return Result(AVIPLAYERR_INVALIDSTREAM);
    return Update(stream, device, texture, 0, 0, video[stream].targetWidth, video[stream].targetHeight, loop);
}

std::int32_t AVIPlayer::AdvanceFrame(int stream, std::int32_t elapsed, D3DBitmap* texture, int x, int y, int width, int height, bool loop)
{
    return Present(stream, false, elapsed, texture, x, y, width, height, loop);
}

std::int32_t AVIPlayer::ShowFrameAt(int stream, std::int32_t time, D3DBitmap* texture, int x, int y, int width, int height, bool loop)
{
    return Present(stream, true, time, texture, x, y, width, height, loop);
}

std::int32_t AVIPlayer::Present(int stream, bool absolute, std::int32_t time, D3DBitmap* texture, int x, int y, int width, int height, bool loop)
{
    if (stream < 0 || stream >= videoCount)
        return Result(AVIPLAYERR_INVALIDSTREAM);
    VideoTrack& track = video[stream];
    if (!track.started)
        return Result(AVIPLAYERR_NOTINIT);
    if (absolute) {
        track.currentTime = time;
    } else {
        if (track.currentTime >= track.endTime && !loop) {
            StopAudio(stream);
            return Result(AVIPLAYERR_NOMOREFRAMES);
        }
        track.currentTime += std::max(time, 0);
    }
    std::int32_t result = aviresult::Ok;
    bool finished = false;
    if (track.currentTime >= track.endTime) {
        if (loop) {
            result = AVIPLAYERR_LOOPED;
            track.currentTime = 0;
        } else {
            result = AVIPLAYERR_NOMOREFRAMES;
            track.currentTime = track.endTime;
            finished = true;
        }
    }
    if (!finished) {
        const std::int32_t sample = track.stream->TimeToSample(track.currentTime);
        if (sample != track.lastSample || sample == 0 || !track.haveFrame) {
            const int drawWidth = std::min(width, track.targetWidth), drawHeight = std::min(height, track.targetHeight);
            if (track.decoder->Decode(sample)) {
                // A whole picture decoded ahead is taken as it is: every byte a copy reads is drawn.
                const bool whole = drawWidth == track.targetWidth && drawHeight == track.targetHeight;
                if (!whole || !track.decoder->TakeDrawn(track.dib, track.pitch, drawWidth, drawHeight, track.layout))
                    track.decoder->Draw(track.dib.data(), track.pitch, drawWidth, drawHeight, track.layout);
                track.haveFrame = true;
                ++track.picture;
            }
            track.lastSample = sample;
            // The next frame is decoded while this one is shown.
            if (sample + 1 < track.length)
                track.decoder->DecodeAhead(sample + 1, track.pitch, drawWidth, drawHeight, track.layout);
        }
    }
    if (finished && HasSound(stream)) {
        track.lastClock = -2;
        StopAudio(stream);
    }
    if (track.haveFrame && !finished) {
        const std::int32_t copied = CopyToTexture(track, texture, x, y, width, height);
        if (copied != aviresult::Ok)
            return Result(copied);
        return Result(result);
    }
    return Result(AVIPLAYERR_NOMOREFRAMES);
}

std::int32_t AVIPlayer::CopyToTexture(VideoTrack& track, D3DBitmap* texture, int x, int y, int width, int height)
{
    if (!texture || x < 0 || y < 0)
        return aviresult::BadParam;
    const VideoTrack::Copy copy{texture, x, y, width, height, track.picture};
    if (copy == track.lastCopy)
        return aviresult::Ok;
    // Clipped to the picture and to the texture, so neither is read or written past its end.
    const int rows = std::min({height, track.targetHeight, texture->GetHeight() - y});
    const int columns = std::min({width, track.targetWidth, texture->GetWidth() - x});
    if (rows <= 0 || columns <= 0)
        return aviresult::Ok;
    auto* pixels = static_cast<std::uint8_t*>(texture->Lock(true));
    if (!pixels)
        return aviresult::BadHandle;
    const int texturePitch = texture->GetPitch();
    const int textureBytes = texture->GetBitsPerPixel() / 8;
    const int dibBytes = track.bitsPerPixel / 8;
    const std::size_t rowBytes = static_cast<std::size_t>(columns) * static_cast<std::size_t>(std::min(dibBytes, textureBytes));
    for (int row = 0; row < rows; ++row)
        std::memcpy(pixels + static_cast<std::ptrdiff_t>(y + row) * texturePitch + static_cast<std::ptrdiff_t>(x) * textureBytes,
                    track.dib.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(track.pitch), rowBytes);
    texture->Unlock();
    track.lastCopy = copy;
    return aviresult::Ok;
}

std::int32_t AVIPlayer::FillFromStream(AudioTrack& track, std::uint32_t bytes, bool loop)
{
    std::uint32_t held = 0;
    bool wrapped = false;
    while (held < bytes) {
        std::int32_t got = 0, samples = 0;
        const std::int32_t code = track.stream->Read(track.readPosition, -1, track.readBuffer.data() + held,
                                                     static_cast<std::int32_t>(bytes - held), &got, &samples);
        if (code == aviresult::FileRead) {
            // A track that ends twice in one fill has nothing left to give.
            if (!loop || wrapped || track.length <= 0)
                break;
            track.readPosition = 0;
            wrapped = true;
            continue;
        }
        if (code != aviresult::Ok)
            return -1;
        if (got <= 0)
            break;
        wrapped = false;
        track.readPosition += samples;
        held += static_cast<std::uint32_t>(got);
    }
    return static_cast<std::int32_t>(held);
}

std::int32_t AVIPlayer::StreamAudio(int stream, bool restart, bool loop)
{
    if (stream < 0 || stream >= MaxStreams || !audio[stream].buffer)
        return -1;
    AudioTrack& track = audio[stream];
    platform::audio::StreamBuffer& buffer = *track.buffer;
    const std::uint8_t silence = track.format.bitsPerSample == 8 ? 0x80 : 0;
    if (restart) {
        buffer.Stop();
        track.playing = false;
        track.toggle = 0;
        track.readPosition = 0;
    }
    std::uint32_t cursor = 0;
    if (!track.playing) {
        const std::int32_t got = FillFromStream(track, track.bufferSize, loop);
        if (got < 0) {
            StopAudio(stream);
            return -1;
        }
        std::uint8_t* bytes = buffer.Lock(0, track.bufferSize);
        std::memset(bytes, silence, track.bufferSize);
        std::memcpy(bytes, track.readBuffer.data(), static_cast<std::size_t>(got));
        buffer.Unlock(0, track.bufferSize);
        buffer.SetCurrentPosition(0);
        buffer.Play();
        track.earlierPasses = 0;
        track.playing = true;
        track.toggle = 0;
    } else {
        cursor = buffer.GetCurrentPosition();
        const std::uint32_t half = track.bufferSize / 2;
        if ((cursor >= half ? 1 : 0) != track.toggle) {
            if (cursor < half)
                track.earlierPasses += track.bufferSize / track.format.blockAlign;
            const std::int32_t got = FillFromStream(track, half, loop);
            if (got < 0) {
                StopAudio(stream);
                return -1;
            }
            const std::uint32_t offset = track.toggle == 1 ? half : 0;
            std::uint8_t* bytes = buffer.Lock(offset, half);
            std::memset(bytes, silence, half);
            std::memcpy(bytes, track.readBuffer.data(), static_cast<std::size_t>(got));
            buffer.Unlock(offset, half);
            track.toggle ^= 1;
        }
    }
    if (loop && track.length > 0 && track.earlierPasses > track.length)
        track.earlierPasses %= track.length;
    std::int64_t played = cursor / track.format.blockAlign + track.earlierPasses;
    if (loop && track.length > 0 && played > track.length)
        played %= track.length;
    return static_cast<std::int32_t>(played * 1000 / std::max<std::uint32_t>(track.format.samplesPerSecond, 1));
}

void AVIPlayer::StopAudio(int stream)
{
    if (stream < 0 || stream >= MaxStreams)
        return;
    AudioTrack& track = audio[stream];
    if (track.buffer)
        track.buffer->Stop();
    track.playing = false;
    track.toggle = 0;
    track.readPosition = 0;
}

std::int32_t AVIPlayer::StopVideo(int stream)
{
    if (stream < 0 || stream >= videoCount)
        return Result(AVIPLAYERR_INVALIDSTREAM);
    if (stream < audioCount)
        ReleaseSound(stream);
    VideoTrack& track = video[stream];
    track.started = false;
    track.dib.clear();
    track.dib.shrink_to_fit();
    track.decoder.reset();
    track.haveFrame = false;
    track.lastCopy = {};
    return Result(aviresult::Ok);
}
