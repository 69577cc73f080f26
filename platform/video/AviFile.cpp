#include "platform/video/AviFile.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/video/AviResult.h"
#include "platform/video/FfmpegState.h"

namespace platform::video {
namespace {

constexpr int MaxStreamsPerType = 5;

// Decodes a whole sound stream to interleaved signed 16-bit PCM of at most two channels.
class SoundReader {
public:
    bool Begin(const AVStream* stream, StreamData& data)
    {
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        if (!codec)
            return false;
        context = avcodec_alloc_context3(codec);
        if (!context || avcodec_parameters_to_context(context, stream->codecpar) < 0 || avcodec_open2(context, codec, nullptr) < 0)
            return false;
        const int channels = std::clamp(context->ch_layout.nb_channels, 1, 2);
        if (context->sample_rate <= 0)
            return false;
        av_channel_layout_default(&outLayout, channels);
        if (swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_S16, context->sample_rate, &context->ch_layout,
                                context->sample_fmt, context->sample_rate, 0, nullptr) < 0 ||
            swr_init(resampler) < 0)
            return false;
        frame = av_frame_alloc();
        if (!frame)
            return false;
        target = &data;
        data.type = StreamType::Audio;
        data.wave.formatTag = 1;
        data.wave.channels = static_cast<std::uint16_t>(channels);
        data.wave.samplesPerSecond = static_cast<std::uint32_t>(context->sample_rate);
        data.wave.bitsPerSample = 16;
        data.wave.blockAlign = static_cast<std::uint16_t>(channels * 2);
        data.wave.averageBytesPerSecond = data.wave.samplesPerSecond * data.wave.blockAlign;
        data.timeBase = AVRational{1, context->sample_rate};
        return true;
    }
    void Feed(const AVPacket* packet)
    {
        if (avcodec_send_packet(context, packet) < 0)
            return; // a damaged packet is skipped
        while (avcodec_receive_frame(context, frame) >= 0) {
            const int outSamples = swr_get_out_samples(resampler, frame->nb_samples);
            if (outSamples < 0)
                continue; // a frame the resampler refuses is skipped
            std::vector<std::uint8_t>& pcm = target->pcm;
            const std::size_t at = pcm.size();
            pcm.resize(at + static_cast<std::size_t>(outSamples) * target->wave.blockAlign);
            std::uint8_t* out = pcm.data() + at;
            const int got = swr_convert(resampler, &out, outSamples, const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
            pcm.resize(at + static_cast<std::size_t>(std::max(got, 0)) * target->wave.blockAlign);
        }
    }
    void Finish()
    {
        Feed(nullptr);
        target->length = static_cast<std::int32_t>(target->pcm.size() / target->wave.blockAlign);
    }
    ~SoundReader()
    {
        av_frame_free(&frame);
        swr_free(&resampler);
        av_channel_layout_uninit(&outLayout);
        avcodec_free_context(&context);
    }

private:
    AVCodecContext* context = nullptr;
    SwrContext* resampler = nullptr;
    AVFrame* frame = nullptr;
    AVChannelLayout outLayout{};
    StreamData* target = nullptr;
};

struct FormatCloser {
    AVFormatContext* context = nullptr;
    ~FormatCloser() { avformat_close_input(&context); }
};

struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

}

AviStream::AviStream(std::unique_ptr<StreamData> streamData) : data(std::move(streamData)) {}
AviStream::~AviStream() = default;

StreamType AviStream::Type() const { return data->type; }
std::int32_t AviStream::Length() const { return data->length; }
const WaveFormat& AviStream::AudioFormat() const { return data->wave; }
const VideoFormat& AviStream::Format() const { return data->video; }

std::int32_t AviStream::SampleToTime(std::int32_t sample) const
{
    return static_cast<std::int32_t>(av_rescale_rnd(sample, 1000LL * data->timeBase.num, data->timeBase.den, AV_ROUND_DOWN));
}

std::int32_t AviStream::TimeToSample(std::int32_t time) const
{
    if (time < 0)
        return 0;
    return static_cast<std::int32_t>(av_rescale_rnd(time, data->timeBase.den, 1000LL * data->timeBase.num, AV_ROUND_DOWN));
}

std::int32_t AviStream::Read(std::int32_t start, std::int32_t count, void* buffer, std::int32_t bufferBytes,
                             std::int32_t* bytesRead, std::int32_t* samplesRead) const
{
    if (bytesRead)
        *bytesRead = 0;
    if (samplesRead)
        *samplesRead = 0;
    if (data->type != StreamType::Audio || !buffer || bufferBytes < 0)
        return aviresult::BadParam;
    if (start < 0 || start >= data->length)
        return aviresult::FileRead;
    const std::int32_t block = data->wave.blockAlign;
    std::int32_t samples = std::min(bufferBytes / block, data->length - start);
    if (count >= 0)
        samples = std::min(samples, count);
    if (samples <= 0)
        return aviresult::BufferTooSmall;
    std::memcpy(buffer, data->pcm.data() + static_cast<std::size_t>(start) * static_cast<std::size_t>(block),
                static_cast<std::size_t>(samples) * static_cast<std::size_t>(block));
    if (bytesRead)
        *bytesRead = samples * block;
    if (samplesRead)
        *samplesRead = samples;
    return aviresult::Ok;
}

AviFile::~AviFile() = default;

std::unique_ptr<AviFile> AviFile::Open(const char* path, std::int32_t& result)
{
    QuietLibraryLog();
    FormatCloser format;
    if (!path || avformat_open_input(&format.context, path, nullptr, nullptr) < 0) {
        result = aviresult::FileOpen;
        return nullptr;
    }
    if (!std::strstr(format.context->iformat->name, "avi") || avformat_find_stream_info(format.context, nullptr) < 0) {
        result = aviresult::BadFormat;
        return nullptr;
    }
    std::unique_ptr<AviFile> file(new AviFile());
    std::vector<StreamData*> byIndex(format.context->nb_streams, nullptr);
    std::vector<std::unique_ptr<SoundReader>> readers(format.context->nb_streams);
    std::vector<std::unique_ptr<StreamData>> audio, video;
    for (unsigned i = 0; i < format.context->nb_streams; ++i) {
        const AVStream* stream = format.context->streams[i];
        auto data = std::make_unique<StreamData>();
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && audio.size() < MaxStreamsPerType) {
            auto reader = std::make_unique<SoundReader>();
            // A sound track no decoder takes is left out: the movie plays silent.
            if (!reader->Begin(stream, *data))
                continue;
            readers[i] = std::move(reader);
            byIndex[i] = data.get();
            audio.push_back(std::move(data));
        } else if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && video.size() < MaxStreamsPerType) {
            if (stream->codecpar->width <= 0 || stream->codecpar->height <= 0 || stream->time_base.num <= 0 || stream->time_base.den <= 0)
                continue;
            data->type = StreamType::Video;
            data->timeBase = stream->time_base;
            data->parameters = avcodec_parameters_alloc();
            if (!data->parameters || avcodec_parameters_copy(data->parameters, stream->codecpar) < 0)
                continue;
            data->video.width = stream->codecpar->width;
            data->video.height = stream->codecpar->height;
            data->video.bitCount = static_cast<std::uint16_t>(stream->codecpar->bits_per_coded_sample > 0 ? stream->codecpar->bits_per_coded_sample : 24);
            data->video.compression = stream->codecpar->codec_tag;
            byIndex[i] = data.get();
            video.push_back(std::move(data));
        }
    }

    const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet) {
        result = aviresult::Memory;
        return nullptr;
    }
    std::vector<std::int64_t> nextFrame(format.context->nb_streams, 0);
    // A broken file ends the reading where it breaks; what was read plays.
    while (av_read_frame(format.context, packet.get()) >= 0) {
        const int index = packet->stream_index;
        StreamData* data = index >= 0 && static_cast<unsigned>(index) < byIndex.size() ? byIndex[static_cast<std::size_t>(index)] : nullptr;
        if (data && data->type == StreamType::Audio) {
            readers[static_cast<std::size_t>(index)]->Feed(packet.get());
        } else if (data) {
            std::int64_t frame = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts != AV_NOPTS_VALUE ? packet->dts : nextFrame[static_cast<std::size_t>(index)];
            // Frame numbers are bounded so a damaged time stamp cannot ask for huge tables.
            if (frame >= 0 && frame < (1 << 22)) {
                if (static_cast<std::size_t>(frame) >= data->frames.size())
                    data->frames.resize(static_cast<std::size_t>(frame) + 1);
                CompressedFrame& slot = data->frames[static_cast<std::size_t>(frame)];
                slot.bytes.assign(packet->data, packet->data + packet->size);
                slot.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
                nextFrame[static_cast<std::size_t>(index)] = frame + 1;
            }
        }
        av_packet_unref(packet.get());
    }
    for (auto& reader : readers)
        if (reader)
            reader->Finish();
    for (auto& data : video)
        data->length = static_cast<std::int32_t>(data->frames.size());

    for (auto& data : audio)
        file->audio.push_back(std::unique_ptr<AviStream>(new AviStream(std::move(data))));
    for (auto& data : video)
        file->video.push_back(std::unique_ptr<AviStream>(new AviStream(std::move(data))));
    result = aviresult::Ok;
    return file;
}

AviStream* AviFile::GetStream(StreamType type, int index, std::int32_t& result)
{
    std::vector<std::unique_ptr<AviStream>>& list = type == StreamType::Audio ? audio : video;
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        result = aviresult::NoData;
        return nullptr;
    }
    result = aviresult::Ok;
    return list[static_cast<std::size_t>(index)].get();
}

std::unique_ptr<FrameDecoder> FrameDecoder::Open(const AviStream& stream)
{
    if (stream.Type() != StreamType::Video)
        return nullptr;
    const AVCodec* codec = avcodec_find_decoder(stream.data->parameters->codec_id);
    if (!codec)
        return nullptr;
    auto state = std::make_unique<DecoderState>();
    state->stream = stream.data.get();
    state->context = avcodec_alloc_context3(codec);
    if (!state->context || avcodec_parameters_to_context(state->context, stream.data->parameters) < 0)
        return nullptr;
    state->context->thread_count = 1;
    if (avcodec_open2(state->context, codec, nullptr) < 0)
        return nullptr;
    state->frame = av_frame_alloc();
    state->incoming = av_frame_alloc();
    state->packet = av_packet_alloc();
    std::unique_ptr<FrameDecoder> decoder(new FrameDecoder());
    decoder->state = std::move(state);
    return decoder;
}

// The frame being decoded ahead and the picture it was drawn into. The decoder's state belongs
// to the thread while a job runs (busy) and to the caller otherwise.
struct ReadAhead {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    bool busy = false;
    bool quit = false;
    std::int32_t sample = -1;
    // What Draw is given.
    struct DrawArguments {
        int pitch = 0, width = 0, height = 0;
        PixelLayout layout;
        bool operator==(const DrawArguments&) const = default;
    } arguments;
    std::vector<std::uint8_t> picture;
    bool drawn = false; // the picture holds sample drawn with the arguments above
};

FrameDecoder::~FrameDecoder()
{
    if (ahead && ahead->thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(ahead->mutex);
            ahead->quit = true;
        }
        ahead->wake.notify_one();
        ahead->thread.join();
    }
}

void FrameDecoder::FinishAhead()
{
    if (!ahead)
        return;
    std::unique_lock<std::mutex> lock(ahead->mutex);
    ahead->done.wait(lock, [this] { return !ahead->busy; });
}

void FrameDecoder::DecodeAhead(std::int32_t sample, int pitch, int width, int height, const PixelLayout& layout)
{
    if (sample < 0 || static_cast<std::size_t>(sample) >= state->stream->frames.size() || width <= 0 || height <= 0 ||
        pitch <= 0)
        return;
    if (!ahead)
        ahead = std::make_unique<ReadAhead>();
    FinishAhead();
    {
        std::lock_guard<std::mutex> lock(ahead->mutex);
        ahead->sample = sample;
        ahead->arguments = {pitch, width, height, layout};
        ahead->drawn = false;
        ahead->busy = true;
    }
    if (!ahead->thread.joinable()) {
        try {
            ahead->thread = std::thread([this] { RunAhead(); });
        } catch (const std::system_error&) {
            // No thread to spare: the frame is decoded when it is asked for.
            std::lock_guard<std::mutex> lock(ahead->mutex);
            ahead->busy = false;
            return;
        }
    }
    ahead->wake.notify_one();
}

void FrameDecoder::RunAhead()
{
    ReadAhead& a = *ahead;
    std::unique_lock<std::mutex> lock(a.mutex);
    for (;;) {
        a.wake.wait(lock, [&a] { return a.busy || a.quit; });
        if (a.quit)
            return;
        lock.unlock();
        bool drawn = false;
        if (DecodeNow(a.sample)) {
            const ReadAhead::DrawArguments& d = a.arguments;
            a.picture.resize(static_cast<std::size_t>(d.pitch) * static_cast<std::size_t>(d.height));
            DrawNow(a.picture.data(), d.pitch, d.width, d.height, d.layout);
            drawn = true;
        }
        lock.lock();
        a.drawn = drawn;
        a.busy = false;
        a.done.notify_all();
    }
}

bool FrameDecoder::Decode(std::int32_t sample)
{
    FinishAhead();
    if (ahead && ahead->sample != sample)
        ahead->drawn = false;
    return DecodeNow(sample);
}

bool FrameDecoder::TakeDrawn(std::vector<std::uint8_t>& pixels, int pitch, int width, int height,
                             const PixelLayout& layout)
{
    FinishAhead();
    if (!ahead || !ahead->drawn || ahead->sample != state->lastDecoded || ahead->picture.size() != pixels.size() ||
        !(ahead->arguments == ReadAhead::DrawArguments{pitch, width, height, layout}))
        return false;
    pixels.swap(ahead->picture);
    ahead->drawn = false;
    return true;
}

void FrameDecoder::Draw(std::uint8_t* pixels, int pitch, int width, int height, const PixelLayout& layout)
{
    FinishAhead();
    if (ahead && ahead->drawn && ahead->sample == state->lastDecoded && pixels &&
        ahead->arguments == ReadAhead::DrawArguments{pitch, width, height, layout}) {
        // The rows the scaler writes, no more, as drawing here would.
        const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(layout.bitsPerPixel / 8);
        for (int row = 0; row < height; ++row)
            std::memcpy(pixels + static_cast<std::ptrdiff_t>(row) * pitch,
                        ahead->picture.data() + static_cast<std::ptrdiff_t>(row) * pitch, rowBytes);
        return;
    }
    DrawNow(pixels, pitch, width, height, layout);
}

bool FrameDecoder::DecodeNow(std::int32_t sample)
{
    DecoderState& s = *state;
    const std::vector<CompressedFrame>& frames = s.stream->frames;
    if (sample < 0 || static_cast<std::size_t>(sample) >= frames.size())
        return false;
    if (sample == s.lastDecoded)
        return s.haveFrame;
    std::int32_t key = sample;
    while (key > 0 && !frames[static_cast<std::size_t>(key)].key)
        --key;
    std::int32_t first = key;
    if (s.lastDecoded >= key && s.lastDecoded < sample) {
        first = s.lastDecoded + 1;
    } else {
        avcodec_flush_buffers(s.context);
        s.haveFrame = false;
    }
    for (std::int32_t i = first; i <= sample; ++i) {
        const CompressedFrame& compressed = frames[static_cast<std::size_t>(i)];
        // An empty chunk repeats the frame before it.
        if (compressed.bytes.empty())
            continue;
        av_packet_unref(s.packet);
        if (av_new_packet(s.packet, static_cast<int>(compressed.bytes.size())) < 0)
            return false;
        std::memcpy(s.packet->data, compressed.bytes.data(), compressed.bytes.size());
        if (compressed.key)
            s.packet->flags |= AV_PKT_FLAG_KEY;
        if (avcodec_send_packet(s.context, s.packet) < 0)
            continue;
        // Receiving clears the frame it is given, so frames arrive in a scratch frame first.
        while (avcodec_receive_frame(s.context, s.incoming) >= 0) {
            av_frame_unref(s.frame);
            av_frame_move_ref(s.frame, s.incoming);
            s.haveFrame = true;
        }
    }
    s.lastDecoded = sample;
    return s.haveFrame;
}

int FrameDecoder::FrameWidth()
{
    FinishAhead();
    return state->haveFrame ? state->frame->width : 0;
}

int FrameDecoder::FrameHeight()
{
    FinishAhead();
    return state->haveFrame ? state->frame->height : 0;
}

void FrameDecoder::DrawNow(std::uint8_t* pixels, int pitch, int width, int height, const PixelLayout& layout)
{
    DecoderState& s = *state;
    if (!s.haveFrame || !pixels || width <= 0 || height <= 0)
        return;
    AVPixelFormat target = AV_PIX_FMT_BGRA;
    if (layout.bitsPerPixel == 24)
        target = AV_PIX_FMT_BGR24;
    else if (layout.bitsPerPixel == 16)
        target = layout.greenMask == 0x03E0u ? AV_PIX_FMT_RGB555LE : layout.greenMask == 0x00F0u ? AV_PIX_FMT_RGB444LE : AV_PIX_FMT_RGB565LE;
    const bool sameSize = width == s.frame->width && height == s.frame->height;
    s.scaler = sws_getCachedContext(s.scaler, s.frame->width, s.frame->height, static_cast<AVPixelFormat>(s.frame->format),
                                    width, height, target, sameSize ? SWS_POINT : SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s.scaler)
        return;
    std::uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
    int pitches[4] = {pitch, 0, 0, 0};
    sws_scale(s.scaler, s.frame->data, s.frame->linesize, 0, s.frame->height, planes, pitches);
}

}
