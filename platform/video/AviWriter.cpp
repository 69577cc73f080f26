#include "platform/video/AviWriter.h"

#include <vector>

#include "platform/video/FfmpegState.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace platform::video {

struct WriterState {
    MovieSettings settings;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* sound = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* soundStream = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* soundFrame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    std::int64_t framesWritten = 0;
    std::int64_t soundWritten = 0;
    bool headerWritten = false;
    bool finished = false;

    ~WriterState()
    {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        av_frame_free(&soundFrame);
        avcodec_free_context(&video);
        avcodec_free_context(&sound);
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

namespace {

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool Drain(WriterState& s, AVCodecContext* codec, AVStream* stream, std::string& error)
{
    for (;;) {
        const int got = avcodec_receive_packet(codec, s.packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return true;
        if (got < 0) {
            error = "encoding failed: " + AvError(got);
            return false;
        }
        av_packet_rescale_ts(s.packet, codec->time_base, stream->time_base);
        s.packet->stream_index = stream->index;
        const int written = av_interleaved_write_frame(s.format, s.packet);
        if (written < 0) {
            error = "writing failed: " + AvError(written);
            return false;
        }
    }
}

}

std::unique_ptr<AviWriter> AviWriter::Create(const std::string& path, const MovieSettings& settings, std::string& error)
{
    if (settings.width <= 0 || settings.height <= 0 || settings.framesPerSecond <= 0 || (settings.width & 1) || (settings.height & 1)) {
        error = "the picture size must be even and the frame rate positive";
        return nullptr;
    }
    QuietLibraryLog();
    auto s = std::make_unique<WriterState>();
    s->settings = settings;
    if (avformat_alloc_output_context2(&s->format, nullptr, "avi", path.c_str()) < 0 || !s->format) {
        error = "no AVI muxer";
        return nullptr;
    }
    s->format->flags |= AVFMT_FLAG_BITEXACT;

    AVCodecID id = AV_CODEC_ID_MJPEG;
    AVPixelFormat pixels = AV_PIX_FMT_YUVJ420P;
    switch (settings.codec) {
    case VideoCodec::Uncompressed: id = AV_CODEC_ID_RAWVIDEO; pixels = AV_PIX_FMT_BGR24; break;
    case VideoCodec::Mjpeg: id = AV_CODEC_ID_MJPEG; pixels = AV_PIX_FMT_YUVJ420P; break;
    case VideoCodec::MicrosoftVideo1: id = AV_CODEC_ID_MSVIDEO1; pixels = AV_PIX_FMT_RGB555LE; break;
    case VideoCodec::Cinepak: id = AV_CODEC_ID_CINEPAK; pixels = AV_PIX_FMT_RGB24; break;
    }
    const AVCodec* encoder = avcodec_find_encoder(id);
    if (!encoder) {
        error = std::string("no encoder for ") + avcodec_get_name(id);
        return nullptr;
    }
    s->video = avcodec_alloc_context3(encoder);
    s->video->width = settings.width;
    s->video->height = settings.height;
    s->video->pix_fmt = pixels;
    s->video->time_base = AVRational{1, settings.framesPerSecond};
    s->video->framerate = AVRational{settings.framesPerSecond, 1};
    s->video->gop_size = settings.framesPerSecond;
    s->video->thread_count = 1;
    s->video->flags |= AV_CODEC_FLAG_BITEXACT;
    if (id == AV_CODEC_ID_MJPEG) {
        s->video->flags |= AV_CODEC_FLAG_QSCALE;
        s->video->global_quality = FF_QP2LAMBDA * 3;
        s->video->color_range = AVCOL_RANGE_JPEG;
    }
    if (s->format->oformat->flags & AVFMT_GLOBALHEADER)
        s->video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = avcodec_open2(s->video, encoder, nullptr);
    if (result < 0) {
        error = std::string("cannot open the ") + encoder->name + " encoder: " + AvError(result);
        return nullptr;
    }
    s->videoStream = avformat_new_stream(s->format, nullptr);
    avcodec_parameters_from_context(s->videoStream->codecpar, s->video);
    s->videoStream->time_base = s->video->time_base;

    if (settings.soundRate > 0) {
        const AVCodecID soundId = settings.soundBits == 8 ? AV_CODEC_ID_PCM_U8 : AV_CODEC_ID_PCM_S16LE;
        const AVCodec* soundEncoder = avcodec_find_encoder(soundId);
        if (!soundEncoder || (settings.soundChannels != 1 && settings.soundChannels != 2)) {
            error = "unsupported sound track";
            return nullptr;
        }
        s->sound = avcodec_alloc_context3(soundEncoder);
        s->sound->sample_fmt = settings.soundBits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
        s->sound->sample_rate = settings.soundRate;
        av_channel_layout_default(&s->sound->ch_layout, settings.soundChannels);
        s->sound->time_base = AVRational{1, settings.soundRate};
        s->sound->flags |= AV_CODEC_FLAG_BITEXACT;
        result = avcodec_open2(s->sound, soundEncoder, nullptr);
        if (result < 0) {
            error = "cannot open the PCM encoder: " + AvError(result);
            return nullptr;
        }
        s->soundStream = avformat_new_stream(s->format, nullptr);
        avcodec_parameters_from_context(s->soundStream->codecpar, s->sound);
        s->soundStream->time_base = s->sound->time_base;
        s->soundFrame = av_frame_alloc();
    }

    result = avio_open(&s->format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        error = "cannot create " + path + ": " + AvError(result);
        return nullptr;
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "fflags", "+bitexact", 0);
    result = avformat_write_header(s->format, &options);
    av_dict_free(&options);
    if (result < 0) {
        error = "cannot write the AVI header: " + AvError(result);
        return nullptr;
    }
    s->headerWritten = true;
    s->frame = av_frame_alloc();
    s->frame->format = pixels;
    s->frame->width = settings.width;
    s->frame->height = settings.height;
    av_frame_get_buffer(s->frame, 0);
    s->packet = av_packet_alloc();
    s->scaler = sws_getContext(settings.width, settings.height, AV_PIX_FMT_BGRA, settings.width, settings.height, pixels,
                               SWS_POINT | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr);
    std::unique_ptr<AviWriter> writer(new AviWriter());
    writer->state = std::move(s);
    return writer;
}

AviWriter::~AviWriter()
{
    if (state && state->headerWritten && !state->finished) {
        std::string ignored;
        Finish(ignored);
    }
}

bool AviWriter::AddFrame(const std::uint32_t* argb, std::string& error)
{
    WriterState& s = *state;
    if (s.finished || !argb) {
        error = "no frame";
        return false;
    }
    av_frame_make_writable(s.frame);
    // 0xAARRGGBB words are B, G, R, A bytes in memory.
    const std::uint8_t* source = reinterpret_cast<const std::uint8_t*>(argb);
    int sourcePitch = s.settings.width * 4;
    if (s.settings.codec == VideoCodec::Uncompressed) {
        // Uncompressed AVI frames are stored bottom row first.
        source += static_cast<std::ptrdiff_t>(s.settings.height - 1) * sourcePitch;
        sourcePitch = -sourcePitch;
    }
    const std::uint8_t* planes[1] = {source};
    const int pitches[1] = {sourcePitch};
    sws_scale(s.scaler, planes, pitches, 0, s.settings.height, s.frame->data, s.frame->linesize);
    s.frame->pts = s.framesWritten++;
    const int sent = avcodec_send_frame(s.video, s.frame);
    if (sent < 0) {
        error = "encoding failed: " + AvError(sent);
        return false;
    }
    return Drain(s, s.video, s.videoStream, error);
}

bool AviWriter::AddSound(const std::int16_t* samples, std::size_t frames, std::string& error)
{
    WriterState& s = *state;
    if (!s.sound || s.finished) {
        error = "the movie has no sound track";
        return false;
    }
    if (frames == 0)
        return true;
    av_frame_unref(s.soundFrame);
    s.soundFrame->format = s.sound->sample_fmt;
    s.soundFrame->nb_samples = static_cast<int>(frames);
    av_channel_layout_copy(&s.soundFrame->ch_layout, &s.sound->ch_layout);
    s.soundFrame->sample_rate = s.sound->sample_rate;
    if (av_frame_get_buffer(s.soundFrame, 0) < 0) {
        error = "out of memory";
        return false;
    }
    const std::size_t count = frames * static_cast<std::size_t>(s.settings.soundChannels);
    if (s.settings.soundBits == 8) {
        for (std::size_t i = 0; i < count; ++i)
            s.soundFrame->data[0][i] = static_cast<std::uint8_t>((samples[i] >> 8) + 128);
    } else {
        std::int16_t* out = reinterpret_cast<std::int16_t*>(s.soundFrame->data[0]);
        for (std::size_t i = 0; i < count; ++i)
            out[i] = samples[i];
    }
    s.soundFrame->pts = s.soundWritten;
    s.soundWritten += static_cast<std::int64_t>(frames);
    const int sent = avcodec_send_frame(s.sound, s.soundFrame);
    if (sent < 0) {
        error = "sound encoding failed: " + AvError(sent);
        return false;
    }
    return Drain(s, s.sound, s.soundStream, error);
}

bool AviWriter::Finish(std::string& error)
{
    WriterState& s = *state;
    if (s.finished)
        return true;
    s.finished = true;
    avcodec_send_frame(s.video, nullptr);
    if (!Drain(s, s.video, s.videoStream, error))
        return false;
    if (s.sound) {
        avcodec_send_frame(s.sound, nullptr);
        if (!Drain(s, s.sound, s.soundStream, error))
            return false;
    }
    const int result = av_write_trailer(s.format);
    avio_closep(&s.format->pb);
    if (result < 0) {
        error = "cannot finish the AVI file: " + AvError(result);
        return false;
    }
    return true;
}

}
