// The recorder's film: options, the temporary name, the encoders (video
// scaled into the frame with black bars, audio converted and cut into the
// encoder's frames) and the muxer. Scaling, encoding and writing run on a
// worker thread of their own while the show draws its next frame: the main
// thread only copies each frame and each piece of sound into a short queue.
//
// Sections: options, encoders, queue, video, audio, finish
#include "platform/record/Record.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <condition_variable>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <numeric>
#include <system_error>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum EContainer
{
    ContainerNone,
    ContainerMp4,
    ContainerMkv,
    ContainerWebm
};

EContainer ContainerOf(const std::string& path)
{
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".mp4")
        return ContainerMp4;
    if (ext == ".mkv")
        return ContainerMkv;
    if (ext == ".webm")
        return ContainerWebm;
    return ContainerNone;
}

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

}  // namespace

// ---------------------------------------------------------------- options

bool CheckRecordOptions(const SRecordOptions& options, std::string* why)
{
    const EContainer container = ContainerOf(options.m_Path);
    if (options.m_Path.empty() || fs::path(options.m_Path).filename().empty())
        *why = "no file to record to";
    else if (container == ContainerNone)
        *why = "cannot record to \"" + options.m_Path + "\": the name must end in .mp4, .mkv or .webm";
    else if (options.m_Lossless && container != ContainerMkv)
        *why = "a lossless recording must be an .mkv file";
    else if (options.m_Width < RecordMinSide || options.m_Height < RecordMinSide || options.m_Width > RecordMaxSide ||
             options.m_Height > RecordMaxSide)
        *why = "the size " + std::to_string(options.m_Width) + "x" + std::to_string(options.m_Height) + " is not within " +
               std::to_string(RecordMinSide) + " to " + std::to_string(RecordMaxSide) + " pixels a side";
    // 4:2:0 halves the colour in both directions: odd sides have no encoding.
    else if (!options.m_Lossless && (options.m_Width % 2 != 0 || options.m_Height % 2 != 0))
        *why = "the size " + std::to_string(options.m_Width) + "x" + std::to_string(options.m_Height) +
               " must be even on both sides (or recorded --lossless)";
    else if (options.m_Fps < 1 || options.m_Fps > RecordMaxFps)
        *why = "the frame rate " + std::to_string(options.m_Fps) + " is not within 1 to " + std::to_string(RecordMaxFps);
    else if (options.m_SourceWidth <= 0 || options.m_SourceHeight <= 0)
        *why = "no frame to record";
    else
        return true;
    return false;
}

std::string RecordTempPath(const std::string& path)
{
    const fs::path final(path);
    fs::path folder = final.parent_path();
    // Hidden, and with a name no player would take for a finished film.
    return (folder / ("." + final.filename().string() + ".orba-part")).string();
}

// ---------------------------------------------------------------- encoders

// What the main thread hands the worker: a frame, or a piece of sound. The
// buffers stay with their slot and are reused, so nothing is allocated per
// frame once the queue has gone round.
struct SRecordJob
{
    bool m_Video = false;
    std::vector<uint32_t> m_Pixels;
    std::vector<float> m_Sound;
    int m_Frames = 0;
};

class CRecordFile
{
public:
    ~CRecordFile();
    bool Open(const SRecordOptions& options, std::string* why);
    bool WriteVideo(const uint32_t* argb, std::string* why);
    bool WriteAudio(const float* stereo, int frames, std::string* why);
    bool Finish(std::string* why);

private:
    // Main thread: the next free slot (null once the worker failed, with
    // `why`), then handing it over.
    SRecordJob* NextSlot(std::string* why);
    void Hand();
    // Waits for the worker to finish what it was given, and ends it. False,
    // with `why`, when it failed on the way.
    bool StopWorker(std::string* why);
    void WorkerLoop();
    bool EncodeVideo(const uint32_t* argb, std::string* why);
    bool EncodeAudio(const float* stereo, int frames, std::string* why);
    bool OpenVideo(std::string* why);
    bool OpenAudio(std::string* why);
    bool Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string* why);
    bool ReserveConverted(int capacity, std::string* why);
    bool EncodeAudioFrames(bool last, std::string* why);
    bool Failed(const char* what, int code, std::string* why);

    SRecordOptions m_Options;
    EContainer m_Container = ContainerNone;
    std::string m_TempPath;
    AVFormatContext* m_Format = nullptr;
    bool m_Opened = false;  // the temporary file exists
    AVCodecContext* m_Video = nullptr;
    AVCodecContext* m_Audio = nullptr;
    AVStream* m_VideoStream = nullptr;
    AVStream* m_AudioStream = nullptr;
    AVFrame* m_VideoFrame = nullptr;
    AVFrame* m_AudioFrame = nullptr;
    AVPacket* m_Packet = nullptr;
    SwsContext* m_Scaler = nullptr;
    SwrContext* m_Resampler = nullptr;
    AVAudioFifo* m_Fifo = nullptr;
    int m_InnerX = 0, m_InnerY = 0, m_InnerW = 0, m_InnerH = 0;  // the show inside the frame
    int64_t m_VideoPts = 0;
    int64_t m_AudioPts = 0;
    uint8_t** m_Converted = nullptr;
    int m_ConvertedCapacity = 0;

    // The queue: m_Count slots from m_Head belong to the worker, the rest to
    // the main thread. Three frames with their sound: enough to ride out an
    // uneven frame, few enough to keep memory small.
    static constexpr int s_Slots = 6;
    SRecordJob m_Jobs[s_Slots];
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    int m_Head = 0;
    int m_Count = 0;
    bool m_Stop = false;
    bool m_WorkerFailed = false;
    std::string m_WorkerWhy;
    std::thread m_Worker;
};

CRecordFile::~CRecordFile()
{
    std::string ignored;
    StopWorker(&ignored);
    if (m_Format)
    {
        if (m_Format->pb)
            avio_closep(&m_Format->pb);
        avformat_free_context(m_Format);
    }
    avcodec_free_context(&m_Video);
    avcodec_free_context(&m_Audio);
    av_frame_free(&m_VideoFrame);
    av_frame_free(&m_AudioFrame);
    av_packet_free(&m_Packet);
    sws_freeContext(m_Scaler);
    swr_free(&m_Resampler);
    if (m_Fifo)
        av_audio_fifo_free(m_Fifo);
    if (m_Converted)
        av_freep(&m_Converted[0]);
    av_freep(&m_Converted);
    if (m_Opened)
    {
        std::error_code error;
        fs::remove(m_TempPath, error);
    }
}

bool CRecordFile::Failed(const char* what, int code, std::string* why)
{
    *why = std::string(what) + (code < 0 ? ": " + AvError(code) : std::string());
    return false;
}

bool CRecordFile::Open(const SRecordOptions& options, std::string* why)
{
    if (!CheckRecordOptions(options, why))
        return false;
    m_Options = options;
    m_Container = ContainerOf(options.m_Path);
    m_TempPath = RecordTempPath(options.m_Path);
    std::error_code error;
    if (fs::is_directory(options.m_Path, error))
    {
        *why = "cannot record to \"" + options.m_Path + "\": it is a folder";
        return false;
    }
    const char* format = m_Container == ContainerMp4 ? "mp4" : m_Container == ContainerWebm ? "webm" : "matroska";
    int code = avformat_alloc_output_context2(&m_Format, nullptr, format, nullptr);
    if (code < 0 || !m_Format)
        return Failed("no muxer", code, why);
    m_Packet = av_packet_alloc();
    if (!m_Packet || !OpenVideo(why) || !OpenAudio(why))
        return false;
    code = avio_open(&m_Format->pb, m_TempPath.c_str(), AVIO_FLAG_WRITE);
    if (code < 0)
    {
        *why = "cannot write \"" + options.m_Path + "\": " + AvError(code);
        return false;
    }
    m_Opened = true;
    // MP4's edit lists (which cut AAC's priming) count in the movie's time
    // scale, 1/1000 s unless told: a clock on which a sample and a frame are
    // both whole keeps the sound's length to the sample.
    AVDictionary* settings = nullptr;
    if (m_Container == ContainerMp4)
        av_dict_set_int(&settings, "movie_timescale", std::lcm(RecordAudioRate, options.m_Fps), 0);
    code = avformat_write_header(m_Format, &settings);
    av_dict_free(&settings);
    if (code < 0)
        return Failed("cannot start the film", code, why);
    m_Worker = std::thread(&CRecordFile::WorkerLoop, this);
    return true;
}

bool CRecordFile::OpenVideo(std::string* why)
{
    const bool lossless = m_Options.m_Lossless;
    const char* name = lossless ? "ffv1" : m_Container == ContainerWebm ? "libvpx-vp9" : "libx264";
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        return Failed((std::string("no ") + name + " encoder").c_str(), 0, why);
    m_Video = avcodec_alloc_context3(codec);
    m_Video->width = m_Options.m_Width;
    m_Video->height = m_Options.m_Height;
    m_Video->time_base = AVRational{1, m_Options.m_Fps};
    m_Video->framerate = AVRational{m_Options.m_Fps, 1};
    m_Video->sample_aspect_ratio = AVRational{1, 1};
    // Lossless keeps the rendered colours exactly: RGB, no subsampling.
    m_Video->pix_fmt = lossless ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_YUV420P;
    if (!lossless)
    {
        m_Video->color_range = AVCOL_RANGE_MPEG;
        m_Video->colorspace = AVCOL_SPC_SMPTE170M;
        m_Video->color_primaries = AVCOL_PRI_SMPTE170M;
        m_Video->color_trc = AVCOL_TRC_SMPTE170M;
    }
    if (m_Format->oformat->flags & AVFMT_GLOBALHEADER)
        m_Video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* settings = nullptr;
    if (std::strcmp(name, "libx264") == 0)
    {
        av_dict_set(&settings, "crf", "18", 0);
        // "veryfast": medium's trellis and wide motion search took most of
        // the encoding time for a few per cent of size at the same quality;
        // the show must share two cores with its own drawing.
        av_dict_set(&settings, "preset", "veryfast", 0);
        // One thread a core: x264's default of one and a half a core adds
        // frames in flight and switching, and the queue already keeps the
        // encoder beside the drawing.
        av_dict_set_int(&settings, "threads", std::max(1u, std::thread::hardware_concurrency()), 0);
    }
    else if (std::strcmp(name, "libvpx-vp9") == 0)
    {
        av_dict_set(&settings, "crf", "31", 0);
        av_dict_set(&settings, "b", "0", 0);
        av_dict_set(&settings, "deadline", "good", 0);
        av_dict_set(&settings, "cpu-used", "4", 0);
        av_dict_set(&settings, "row-mt", "1", 0);
    }
    else
        av_dict_set(&settings, "level", "3", 0);
    int code = avcodec_open2(m_Video, codec, &settings);
    av_dict_free(&settings);
    if (code < 0)
        return Failed("cannot open the video encoder", code, why);
    m_VideoStream = avformat_new_stream(m_Format, nullptr);
    if (!m_VideoStream)
        return Failed("no video stream", 0, why);
    m_VideoStream->time_base = m_Video->time_base;
    m_VideoStream->avg_frame_rate = m_Video->framerate;
    m_VideoStream->sample_aspect_ratio = m_Video->sample_aspect_ratio;
    avcodec_parameters_from_context(m_VideoStream->codecpar, m_Video);

    // The show keeps its aspect: the largest rectangle of its shape that
    // fits, centred, on even pixels where colour is subsampled.
    const double scale = std::min(static_cast<double>(m_Options.m_Width) / m_Options.m_SourceWidth,
                                  static_cast<double>(m_Options.m_Height) / m_Options.m_SourceHeight);
    const int even = lossless ? 1 : 2;
    m_InnerW = std::max(even, static_cast<int>(m_Options.m_SourceWidth * scale + 0.5) / even * even);
    m_InnerH = std::max(even, static_cast<int>(m_Options.m_SourceHeight * scale + 0.5) / even * even);
    m_InnerW = std::min(m_InnerW, m_Options.m_Width);
    m_InnerH = std::min(m_InnerH, m_Options.m_Height);
    m_InnerX = (m_Options.m_Width - m_InnerW) / 2 / even * even;
    m_InnerY = (m_Options.m_Height - m_InnerH) / 2 / even * even;
    m_Scaler = sws_getContext(m_Options.m_SourceWidth, m_Options.m_SourceHeight, AV_PIX_FMT_BGRA, m_InnerW, m_InnerH,
                              m_Video->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
    m_VideoFrame = av_frame_alloc();
    if (!m_Scaler || !m_VideoFrame)
        return Failed("no scaler", 0, why);
    m_VideoFrame->format = m_Video->pix_fmt;
    m_VideoFrame->width = m_Video->width;
    m_VideoFrame->height = m_Video->height;
    code = av_frame_get_buffer(m_VideoFrame, 0);
    if (code < 0)
        return Failed("no video frame", code, why);
    return true;
}

bool CRecordFile::OpenAudio(std::string* why)
{
    const char* name = m_Options.m_Lossless ? "flac" : m_Container == ContainerWebm ? "libopus" : "aac";
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        return Failed((std::string("no ") + name + " encoder").c_str(), 0, why);
    m_Audio = avcodec_alloc_context3(codec);
    // Opus runs at 48 kHz only; the others keep the mix's rate.
    m_Audio->sample_rate = std::strcmp(name, "libopus") == 0 ? 48000 : RecordAudioRate;
    m_Audio->sample_fmt = std::strcmp(name, "flac") == 0 ? AV_SAMPLE_FMT_S16
                          : std::strcmp(name, "aac") == 0 ? AV_SAMPLE_FMT_FLTP
                                                          : AV_SAMPLE_FMT_FLT;
    av_channel_layout_default(&m_Audio->ch_layout, 2);
    m_Audio->time_base = AVRational{1, m_Audio->sample_rate};
    if (std::strcmp(name, "flac") != 0)
        m_Audio->bit_rate = std::strcmp(name, "aac") == 0 ? 256000 : 192000;
    if (m_Format->oformat->flags & AVFMT_GLOBALHEADER)
        m_Audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(m_Audio, codec, nullptr);
    if (code < 0)
        return Failed("cannot open the audio encoder", code, why);
    m_AudioStream = avformat_new_stream(m_Format, nullptr);
    if (!m_AudioStream)
        return Failed("no audio stream", 0, why);
    m_AudioStream->time_base = m_Audio->time_base;
    avcodec_parameters_from_context(m_AudioStream->codecpar, m_Audio);

    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    code = swr_alloc_set_opts2(&m_Resampler, &m_Audio->ch_layout, m_Audio->sample_fmt, m_Audio->sample_rate, &stereo,
                               AV_SAMPLE_FMT_FLT, RecordAudioRate, 0, nullptr);
    if (code < 0 || (code = swr_init(m_Resampler)) < 0)
        return Failed("no audio converter", code, why);
    m_Fifo = av_audio_fifo_alloc(m_Audio->sample_fmt, 2, 4096);
    m_AudioFrame = av_frame_alloc();
    if (!m_Fifo || !m_AudioFrame)
        return Failed("no audio buffer", 0, why);
    return true;
}

bool CRecordFile::Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string* why)
{
    int code = avcodec_send_frame(codec, frame);
    if (code < 0)
        return Failed("cannot encode", code, why);
    for (;;)
    {
        code = avcodec_receive_packet(codec, m_Packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
            return true;
        if (code < 0)
            return Failed("cannot encode", code, why);
        av_packet_rescale_ts(m_Packet, codec->time_base, stream->time_base);
        m_Packet->stream_index = stream->index;
        code = av_interleaved_write_frame(m_Format, m_Packet);
        // A full disk shows up in the byte stream's error, maybe only later.
        if (code >= 0 && m_Format->pb->error < 0)
            code = m_Format->pb->error;
        if (code < 0)
        {
            *why = "cannot write \"" + m_Options.m_Path + "\": " + AvError(code);
            return false;
        }
    }
}

// ---------------------------------------------------------------- queue

SRecordJob* CRecordFile::NextSlot(std::string* why)
{
    std::unique_lock<std::mutex> lock(m_Lock);
    m_Changed.wait(lock, [this] { return m_Count < s_Slots || m_WorkerFailed; });
    if (m_WorkerFailed)
    {
        *why = m_WorkerWhy;
        return nullptr;
    }
    return &m_Jobs[(m_Head + m_Count) % s_Slots];
}

void CRecordFile::Hand()
{
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        ++m_Count;
    }
    m_Changed.notify_all();
}

bool CRecordFile::StopWorker(std::string* why)
{
    if (!m_Worker.joinable())
        return true;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Stop = true;
    }
    m_Changed.notify_all();
    m_Worker.join();
    if (m_WorkerFailed)
    {
        *why = m_WorkerWhy;
        return false;
    }
    return true;
}

void CRecordFile::WorkerLoop()
{
    for (;;)
    {
        SRecordJob* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_Lock);
            m_Changed.wait(lock, [this] { return m_Count > 0 || m_Stop; });
            if (m_Count == 0)
                return;
            job = &m_Jobs[m_Head];
        }
        std::string why;
        const bool done = job->m_Video ? EncodeVideo(job->m_Pixels.data(), &why)
                                       : EncodeAudio(job->m_Sound.data(), job->m_Frames, &why);
        {
            std::lock_guard<std::mutex> lock(m_Lock);
            m_Head = (m_Head + 1) % s_Slots;
            --m_Count;
            if (!done)
            {
                m_WorkerFailed = true;
                m_WorkerWhy = why;
            }
        }
        m_Changed.notify_all();
        if (!done)
            return;
    }
}

bool CRecordFile::WriteVideo(const uint32_t* argb, std::string* why)
{
    SRecordJob* job = NextSlot(why);
    if (!job)
        return false;
    job->m_Video = true;
    job->m_Pixels.assign(argb, argb + static_cast<size_t>(m_Options.m_SourceWidth) * m_Options.m_SourceHeight);
    Hand();
    return true;
}

bool CRecordFile::WriteAudio(const float* stereo, int frames, std::string* why)
{
    if (frames <= 0)
        return true;
    SRecordJob* job = NextSlot(why);
    if (!job)
        return false;
    job->m_Video = false;
    job->m_Sound.assign(stereo, stereo + static_cast<size_t>(frames) * 2);
    job->m_Frames = frames;
    Hand();
    return true;
}

// ---------------------------------------------------------------- video

bool CRecordFile::EncodeVideo(const uint32_t* argb, std::string* why)
{
    // The encoder may still hold the last frame: write into a fresh one.
    int code = av_frame_make_writable(m_VideoFrame);
    if (code < 0)
        return Failed("no video frame", code, why);
    // Black bars around the show.
    const bool yuv = m_Video->pix_fmt == AV_PIX_FMT_YUV420P;
    ptrdiff_t lines[4] = {};
    for (int plane = 0; plane < 4; ++plane)
        lines[plane] = m_VideoFrame->linesize[plane];
    code = av_image_fill_black(m_VideoFrame->data, lines, m_Video->pix_fmt, m_Video->color_range, m_Video->width,
                               m_Video->height);
    if (code < 0)
        return Failed("no video frame", code, why);
    uint8_t* inner[4] = {};
    if (yuv)
        for (int plane = 0; plane < 3; ++plane)
        {
            const int shift = plane > 0 ? 1 : 0;
            inner[plane] = m_VideoFrame->data[plane] +
                           static_cast<ptrdiff_t>(m_InnerY >> shift) * m_VideoFrame->linesize[plane] + (m_InnerX >> shift);
        }
    else
        inner[0] = m_VideoFrame->data[0] + static_cast<ptrdiff_t>(m_InnerY) * m_VideoFrame->linesize[0] + m_InnerX * 4;
    const uint8_t* source[4] = {reinterpret_cast<const uint8_t*>(argb), nullptr, nullptr, nullptr};
    const int sourceStride[4] = {m_Options.m_SourceWidth * 4, 0, 0, 0};
    sws_scale(m_Scaler, source, sourceStride, 0, m_Options.m_SourceHeight, inner, m_VideoFrame->linesize);
    m_VideoFrame->pts = m_VideoPts++;
    return Encode(m_Video, m_VideoStream, m_VideoFrame, why);
}

// ---------------------------------------------------------------- audio

// Room for `capacity` converted frames, grown, never shrunk.
bool CRecordFile::ReserveConverted(int capacity, std::string* why)
{
    if (capacity <= m_ConvertedCapacity)
        return true;
    if (m_Converted)
        av_freep(&m_Converted[0]);
    av_freep(&m_Converted);
    m_ConvertedCapacity = 0;
    if (av_samples_alloc_array_and_samples(&m_Converted, nullptr, 2, capacity, m_Audio->sample_fmt, 0) < 0)
        return Failed("no audio buffer", 0, why);
    m_ConvertedCapacity = capacity;
    return true;
}

bool CRecordFile::EncodeAudio(const float* stereo, int frames, std::string* why)
{
    const int capacity = swr_get_out_samples(m_Resampler, frames);
    if (!ReserveConverted(capacity, why))
        return false;
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(stereo)};
    const int got = swr_convert(m_Resampler, m_Converted, capacity, in, frames);
    if (got < 0)
        return Failed("cannot convert the sound", got, why);
    if (av_audio_fifo_write(m_Fifo, reinterpret_cast<void**>(m_Converted), got) < got)
        return Failed("no audio buffer", 0, why);
    return EncodeAudioFrames(false, why);
}

bool CRecordFile::EncodeAudioFrames(bool last, std::string* why)
{
    const bool anySize = (m_Audio->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || m_Audio->frame_size <= 0;
    const int size = anySize ? 4096 : m_Audio->frame_size;
    while (av_audio_fifo_size(m_Fifo) >= size || (last && av_audio_fifo_size(m_Fifo) > 0))
    {
        const int n = std::min(size, av_audio_fifo_size(m_Fifo));
        // A short last frame is padded with silence where the encoder wants whole ones.
        const bool pad = n < size && !anySize && !(m_Audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
        av_frame_unref(m_AudioFrame);
        m_AudioFrame->format = m_Audio->sample_fmt;
        m_AudioFrame->sample_rate = m_Audio->sample_rate;
        m_AudioFrame->nb_samples = pad ? size : n;
        av_channel_layout_copy(&m_AudioFrame->ch_layout, &m_Audio->ch_layout);
        int code = av_frame_get_buffer(m_AudioFrame, 0);
        if (code < 0)
            return Failed("no audio frame", code, why);
        if (pad)
            av_samples_set_silence(m_AudioFrame->data, 0, size, 2, m_Audio->sample_fmt);
        av_audio_fifo_read(m_Fifo, reinterpret_cast<void**>(m_AudioFrame->data), n);
        m_AudioFrame->pts = m_AudioPts;
        m_AudioPts += m_AudioFrame->nb_samples;
        if (!Encode(m_Audio, m_AudioStream, m_AudioFrame, why))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- finish

bool CRecordFile::Finish(std::string* why)
{
    if (!StopWorker(why))
        return false;
    // What the resampler still holds (Opus's 48 kHz), then the short last frame.
    if (m_Audio->sample_rate != RecordAudioRate)
    {
        const int capacity = std::max(m_ConvertedCapacity, 4096);
        if (!ReserveConverted(capacity, why))
            return false;
        const int got = swr_convert(m_Resampler, m_Converted, capacity, nullptr, 0);
        if (got > 0)
            av_audio_fifo_write(m_Fifo, reinterpret_cast<void**>(m_Converted), got);
    }
    if (!EncodeAudioFrames(true, why) || !Encode(m_Audio, m_AudioStream, nullptr, why) ||
        !Encode(m_Video, m_VideoStream, nullptr, why))
        return false;
    int code = av_write_trailer(m_Format);
    if (code >= 0)
    {
        avio_flush(m_Format->pb);
        code = m_Format->pb->error;
    }
    if (code >= 0)
        code = avio_closep(&m_Format->pb);
    if (code < 0)
    {
        *why = "cannot write \"" + m_Options.m_Path + "\": " + AvError(code);
        return false;
    }
    std::error_code error;
    fs::rename(m_TempPath, m_Options.m_Path, error);
    if (error)
    {
        *why = "cannot name the film \"" + m_Options.m_Path + "\": " + error.message();
        return false;
    }
    m_Opened = false;
    return true;
}

CRecordFile* OpenRecordFile(const SRecordOptions& options, std::string* why)
{
    av_log_set_level(AV_LOG_ERROR);
    auto* file = new CRecordFile;
    if (!file->Open(options, why))
    {
        delete file;
        return nullptr;
    }
    return file;
}

bool WriteRecordVideo(CRecordFile* file, const uint32_t* argb, std::string* why)
{
    return file && argb && file->WriteVideo(argb, why);
}

bool WriteRecordAudio(CRecordFile* file, const float* stereo, int frames, std::string* why)
{
    return file && (frames == 0 || stereo) && file->WriteAudio(stereo, frames, why);
}

bool FinishRecordFile(CRecordFile* file, std::string* why)
{
    if (!file)
        return false;
    const bool finished = file->Finish(why);
    delete file;
    return finished;
}

void AbandonRecordFile(CRecordFile* file)
{
    delete file;
}
