// Decoders of the sound library: mp3 (libmpg123), WAV/FLAC/Ogg (libsndfile),
// modules (libopenmpt). Each reads its file only through CSoundFile, that is
// through the registered file callbacks.
#include "platform/sound/SoundSource.h"

#include <libopenmpt/libopenmpt.h>
#include <mpg123.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace
{
// Interleaved n-channel floats to stereo: mono doubled, the first two kept.
void ToStereo(const float* in, int channels, int frames, float* out)
{
    if (channels == 2)
    {
        std::copy(in, in + frames * 2, out);
        return;
    }
    for (int i = 0; i < frames; ++i)
    {
        float l = in[i * channels];
        float r = channels == 1 ? l : in[i * channels + 1];
        out[i * 2] = l;
        out[i * 2 + 1] = r;
    }
}

// ---------------------------------------------------------------- mp3

uint32_t BigEndian32(const uint8_t* at)
{
    return (uint32_t(at[0]) << 24) | (uint32_t(at[1]) << 16) | (uint32_t(at[2]) << 8) | at[3];
}

// What a Xing/Info or VBRI header in the first frame claims of the stream.
struct CMp3InfoTag
{
    uint32_t m_Frames = 0;
    int64_t m_Bytes = 0;     // counted from the header's frame
    int64_t m_FileBytes = 0; // what the file holds from there
};

// Reads the header of the first frame behind any ID3v2 tags; false when the
// file has none that counts both frames and bytes. Leaves the file at 0.
bool ReadMp3InfoTag(CSoundFile& file, CMp3InfoTag& tag)
{
    int64_t size = file.Size();
    int64_t start = 0;
    uint8_t head[192] = {};
    // A handful of stacked ID3v2 tags at most.
    for (int i = 0; i < 8; ++i)
    {
        if (!file.Seek(start, 0) || file.Read(head, 10) != 10)
            return false;
        if (head[0] != 'I' || head[1] != 'D' || head[2] != '3')
            break;
        // Synchsafe size, plus the header and a footer when flagged.
        int64_t body = (int64_t(head[6] & 0x7F) << 21) | ((head[7] & 0x7F) << 14) | ((head[8] & 0x7F) << 7) |
                       (head[9] & 0x7F);
        start += 10 + body + ((head[5] & 0x10) ? 10 : 0);
    }
    bool read = file.Seek(start, 0) && file.Read(head, sizeof(head)) == sizeof(head);
    file.Seek(0, 0);
    // Layer III frame header: sync, a known version, bitrate and rate.
    if (!read || size < 0 || head[0] != 0xFF || (head[1] & 0xE0) != 0xE0 || ((head[1] >> 3) & 3) == 1 ||
        ((head[1] >> 1) & 3) != 1 || (head[2] >> 4) == 0 || (head[2] >> 4) == 15 || ((head[2] >> 2) & 3) == 3)
        return false;
    tag.m_FileBytes = size - start;
    bool mpeg1 = ((head[1] >> 3) & 3) == 3;
    bool mono = (head[3] >> 6) == 3;
    int sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    // LAME puts Xing right after the side info even in a frame with CRC;
    // other encoders may count the CRC in.
    for (int at : {4 + sideInfo, 6 + sideInfo})
    {
        const uint8_t* x = head + at;
        if (std::equal(x, x + 4, "Xing") || std::equal(x, x + 4, "Info"))
        {
            uint32_t flags = BigEndian32(x + 4);
            if ((flags & 3) != 3) // frames and bytes both needed
                return false;
            tag.m_Frames = BigEndian32(x + 8);
            tag.m_Bytes = BigEndian32(x + 12);
            return tag.m_Frames > 0 && tag.m_Bytes > 0;
        }
    }
    const uint8_t* v = head + 36;
    if (!std::equal(v, v + 4, "VBRI"))
        return false;
    tag.m_Bytes = BigEndian32(v + 10);
    tag.m_Frames = BigEndian32(v + 14);
    return tag.m_Frames > 0 && tag.m_Bytes > 0;
}

class CMpg123Source final : public CSoundSource
{
public:
    ~CMpg123Source() override
    {
        if (m_Handle)
        {
            mpg123_close(m_Handle);
            mpg123_delete(m_Handle);
        }
    }

    bool Open(const CSoundFileIO& io, const char* name)
    {
        static std::once_flag s_Init;
        std::call_once(s_Init, [] { mpg123_init(); });
        if (!m_File.Open(io, name))
            return false;
        CMp3InfoTag tag;
        bool tagged = ReadMp3InfoTag(m_File, tag) && tag.m_Bytes <= tag.m_FileBytes;
        int err = MPG123_OK;
        m_Handle = mpg123_new(nullptr, &err);
        if (!m_Handle)
            return false;
        // Quiet: bad input is expected and tolerated. No Frankenstein streams:
        // a second stream glued behind the first would break exact lengths.
        mpg123_param(m_Handle, MPG123_VERBOSE, 0, 0.0);
        mpg123_param(m_Handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_NO_FRANKENSTEIN, 0.0);
        mpg123_format_none(m_Handle);
        const long* rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        for (size_t i = 0; i < count; ++i)
            mpg123_format(m_Handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        if (mpg123_replace_reader_handle(m_Handle, ReadCallback, SeekCallback, nullptr) != MPG123_OK)
            return false;
        if (mpg123_open_handle(m_Handle, &m_File) != MPG123_OK)
            return false;
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(m_Handle, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
            (channels != 1 && channels != 2) || encoding != MPG123_ENC_FLOAT_32)
            return false;
        // Keep this format for the whole stream.
        mpg123_format_none(m_Handle);
        mpg123_format(m_Handle, rate, channels, MPG123_ENC_FLOAT_32);
        m_Rate = static_cast<int>(rate);
        m_Channels = channels;
        // libmpg123's length is exact only from an info tag it used (same
        // frame count) of a file holding all the bytes the tag counts.
        // Otherwise it guesses from the first frame's bitrate (wrong for VBR)
        // or repeats the tag's claim (wrong for a cut file), so the whole file
        // is scanned once (headers only, about 2 ms a minute), which also
        // builds the seek index.
        off_t claimed = mpg123_framelength(m_Handle);
        long encoderDelay = -1, decoderDelay = -1;
        mpg123_getstate(m_Handle, MPG123_ENC_DELAY, &encoderDelay, nullptr);
        mpg123_getstate(m_Handle, MPG123_DEC_DELAY, &decoderDelay, nullptr);
        if (!tagged || claimed != static_cast<off_t>(tag.m_Frames))
        {
            if (mpg123_scan(m_Handle) != MPG123_OK)
                return false;
            // Finding fewer frames than its LAME tag claims, libmpg123 drops
            // gapless decoding altogether: the codec's delay is skipped here
            // instead, so a cut file starts where the whole one does.
            if (encoderDelay >= 0 && decoderDelay >= 0 && mpg123_framelength(m_Handle) < claimed)
                m_Skip = encoderDelay + decoderDelay;
        }
        off_t length = mpg123_length(m_Handle) - m_Skip;
        if (length <= 0 || (m_Skip > 0 && mpg123_seek(m_Handle, m_Skip, SEEK_SET) < 0))
            return false;
        m_Length = length;
        return true;
    }

    int Rate() const override { return m_Rate; }
    int64_t Length() const override { return m_Length; }

    int Read(float* stereo, int frames) override
    {
        if (m_Ended || frames <= 0)
            return 0;
        m_Temp.resize(static_cast<size_t>(frames) * m_Channels);
        int produced = 0;
        // mpg123 may return nothing with OK while it crosses a junk region:
        // retry a bounded number of times.
        for (int attempt = 0; attempt < 64 && produced == 0; ++attempt)
        {
            size_t done = 0;
            int ret = mpg123_read(m_Handle, m_Temp.data(), m_Temp.size() * sizeof(float), &done);
            produced = static_cast<int>(done / (sizeof(float) * m_Channels));
            if (ret == MPG123_NEW_FORMAT)
            {
                long rate = 0;
                int channels = 0, encoding = 0;
                mpg123_getformat(m_Handle, &rate, &channels, &encoding);
                if (rate != m_Rate || channels != m_Channels)
                    m_Ended = true;
            }
            else if (ret != MPG123_OK)
            {
                // MPG123_DONE, or an error such as a truncated frame: what was
                // decoded is played, then the stream ends.
                m_Ended = true;
            }
            if (m_Ended)
                break;
        }
        ToStereo(m_Temp.data(), m_Channels, produced, stereo);
        return produced;
    }

    bool Seek(int64_t frame) override
    {
        if (mpg123_seek(m_Handle, static_cast<off_t>(frame + m_Skip), SEEK_SET) < 0)
            return false;
        m_Ended = false;
        return true;
    }

    void Tags(std::string* title, std::string* artist, std::string* album) override
    {
        mpg123_id3v1* v1 = nullptr;
        mpg123_id3v2* v2 = nullptr;
        if (!(mpg123_meta_check(m_Handle) & MPG123_ID3) || mpg123_id3(m_Handle, &v1, &v2) != MPG123_OK)
            return;
        // ID3v2 comes converted to UTF-8; ID3v1's fixed fields are Latin-1.
        auto text = [](const mpg123_string* v2Text, const char* v1Text, size_t v1Size) {
            if (v2Text && v2Text->p && v2Text->fill > 1)
                return std::string(v2Text->p, strnlen(v2Text->p, v2Text->fill));
            return v1Text ? std::string(v1Text, strnlen(v1Text, v1Size)) : std::string();
        };
        *title = text(v2 ? v2->title : nullptr, v1 ? v1->title : nullptr, sizeof(v1->title));
        *artist = text(v2 ? v2->artist : nullptr, v1 ? v1->artist : nullptr, sizeof(v1->artist));
        *album = text(v2 ? v2->album : nullptr, v1 ? v1->album : nullptr, sizeof(v1->album));
    }

private:
    static mpg123_ssize_t ReadCallback(void* handle, void* buffer, size_t size)
    {
        return static_cast<mpg123_ssize_t>(static_cast<CSoundFile*>(handle)->Read(buffer, size));
    }

    static off_t SeekCallback(void* handle, off_t offset, int whence)
    {
        auto* file = static_cast<CSoundFile*>(handle);
        if (!file->Seek(offset, whence))
            return -1;
        return static_cast<off_t>(file->Tell());
    }

    CSoundFile m_File;
    mpg123_handle* m_Handle = nullptr;
    int m_Rate = 0;
    int m_Channels = 0;
    int64_t m_Length = 0;
    // Samples before the first one played, where libmpg123 does not skip them.
    int64_t m_Skip = 0;
    bool m_Ended = false;
    std::vector<float> m_Temp;
};

// ---------------------------------------------------------------- WAV, FLAC, Ogg

class CSndfileSource final : public CSoundSource
{
public:
    ~CSndfileSource() override
    {
        if (m_Sound)
            sf_close(m_Sound);
    }

    bool Open(const CSoundFileIO& io, const char* name)
    {
        if (!m_File.Open(io, name))
            return false;
        SF_VIRTUAL_IO vio = {GetLength, Seek, Read, Write, Tell};
        SF_INFO info = {};
        m_Sound = sf_open_virtual(&vio, SFM_READ, &info, &m_File);
        if (!m_Sound)
            return false;
        // mp3 is libmpg123's (gapless lengths); libsndfile only gets the rest.
        if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG)
            return false;
        if (info.samplerate <= 0 || info.samplerate > 768000 || info.channels <= 0 || info.channels > 64 ||
            info.frames <= 0 || info.frames == SF_COUNT_MAX)
            return false;
        m_Rate = info.samplerate;
        m_Channels = info.channels;
        m_Length = info.frames;
        return true;
    }

    int Rate() const override { return m_Rate; }
    int64_t Length() const override { return m_Length; }

    int Read(float* stereo, int frames) override
    {
        if (frames <= 0)
            return 0;
        m_Temp.resize(static_cast<size_t>(frames) * m_Channels);
        sf_count_t got = sf_readf_float(m_Sound, m_Temp.data(), frames);
        if (got <= 0)
            return 0;
        ToStereo(m_Temp.data(), m_Channels, static_cast<int>(got), stereo);
        return static_cast<int>(got);
    }

    bool Seek(int64_t frame) override { return sf_seek(m_Sound, frame, SEEK_SET) >= 0; }

    void Tags(std::string* title, std::string* artist, std::string* album) override
    {
        const char* t = sf_get_string(m_Sound, SF_STR_TITLE);
        const char* a = sf_get_string(m_Sound, SF_STR_ARTIST);
        const char* b = sf_get_string(m_Sound, SF_STR_ALBUM);
        *title = t ? t : "";
        *artist = a ? a : "";
        *album = b ? b : "";
    }

private:
    static sf_count_t GetLength(void* user) { return static_cast<CSoundFile*>(user)->Size(); }

    static sf_count_t Seek(sf_count_t offset, int whence, void* user)
    {
        auto* file = static_cast<CSoundFile*>(user);
        if (!file->Seek(offset, whence))
            return -1;
        return file->Tell();
    }

    static sf_count_t Read(void* buffer, sf_count_t count, void* user)
    {
        if (count <= 0)
            return 0;
        return static_cast<sf_count_t>(static_cast<CSoundFile*>(user)->Read(buffer, static_cast<size_t>(count)));
    }

    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* user) { return static_cast<CSoundFile*>(user)->Tell(); }

    CSoundFile m_File;
    SNDFILE* m_Sound = nullptr;
    int m_Rate = 0;
    int m_Channels = 0;
    int64_t m_Length = 0;
    std::vector<float> m_Temp;
};

// ---------------------------------------------------------------- modules

constexpr int ModuleRate = 44100;
// Modules are read whole into memory; anything larger is no module we play.
constexpr size_t ModuleLimit = 256u << 20;

class COpenMptSource final : public CSoundSource
{
public:
    ~COpenMptSource() override
    {
        if (m_Module)
            openmpt_module_destroy(m_Module);
    }

    bool Open(const CSoundFileIO& io, const char* name)
    {
        CSoundFile file;
        if (!file.Open(io, name))
            return false;
        int64_t size = file.Size();
        if (size <= 0)
            return false;
        // A cheap look at the header first, so that mp3 files (the usual
        // case) are refused without reading them whole.
        std::vector<uint8_t> head(std::min<size_t>(openmpt_probe_file_header_get_recommended_size(),
                                                   static_cast<size_t>(size)));
        if (!file.Seek(0, 0) || file.Read(head.data(), head.size()) != head.size())
            return false;
        int probe = openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, head.data(), head.size(),
                                              static_cast<uint64_t>(size), openmpt_log_func_silent, nullptr,
                                              openmpt_error_func_ignore, nullptr, nullptr, nullptr);
        if (probe != OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS && probe != OPENMPT_PROBE_FILE_HEADER_RESULT_WANTMOREDATA)
            return false;
        std::vector<uint8_t> data;
        if (!file.ReadAll(data, ModuleLimit) || data.empty())
            return false;
        m_Module = openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent, nullptr,
                                                      openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
        if (!m_Module)
            return false;
        openmpt_module_set_repeat_count(m_Module, 0);
        // A seek lands with the notes that would be sounding there sounding.
        openmpt_module_ctl_set_boolean(m_Module, "seek.sync_samples", 1);
        return true;
    }

    int Rate() const override { return ModuleRate; }
    int64_t Length() const override { return -1; }

    int Read(float* stereo, int frames) override
    {
        if (frames <= 0)
            return 0;
        return static_cast<int>(openmpt_module_read_interleaved_float_stereo(m_Module, ModuleRate,
                                                                             static_cast<size_t>(frames), stereo));
    }

    bool Seek(int64_t frame) override
    {
        // libopenmpt lands on the nearest row, before or after. Asked a little
        // earlier until it lands at or before the frame, the frames from
        // there on are rendered and dropped, so the module goes on from that
        // very sample.
        const double target = static_cast<double>(frame) / ModuleRate;
        double asked = target;
        double landed = openmpt_module_set_position_seconds(m_Module, asked);
        while (landed * ModuleRate > static_cast<double>(frame) + 0.5 && asked > 0.0)
        {
            asked = std::max(asked - 0.05, 0.0);
            landed = openmpt_module_set_position_seconds(m_Module, asked);
        }
        int64_t skip = frame - static_cast<int64_t>(std::llround(landed * ModuleRate));
        float scratch[2 * 1024];
        while (skip > 0)
        {
            const int n = static_cast<int>(std::min<int64_t>(skip, 1024));
            const int got = Read(scratch, n);
            if (got <= 0)
                break;
            skip -= got;
        }
        return true;
    }

    void SetRepeat(bool repeat) override { openmpt_module_set_repeat_count(m_Module, repeat ? -1 : 0); }

    void Tags(std::string* title, std::string* artist, std::string* album) override
    {
        auto text = [this](const char* key) {
            const char* value = openmpt_module_get_metadata(m_Module, key);
            std::string out = value ? value : "";
            openmpt_free_string(value);
            return out;
        };
        *title = text("title");
        *artist = text("artist");
        // A module names no album of its own.
        album->clear();
    }

private:
    openmpt_module* m_Module = nullptr;
};
}

std::unique_ptr<CSoundSource> OpenStreamSource(const CSoundFileIO& io, const char* name)
{
    // libsndfile knows its formats by their headers and refuses the rest;
    // libmpg123 is more forgiving (it hunts for frame syncs), so it comes
    // second, except for files that start like mp3 (an ID3v2 tag or a frame
    // sync), which would only make libsndfile parse them for nothing.
    bool looksMpeg = false;
    {
        CSoundFile file;
        if (!file.Open(io, name))
            return nullptr;
        uint8_t head[3] = {};
        if (file.Read(head, 3) == 3)
            looksMpeg = (head[0] == 'I' && head[1] == 'D' && head[2] == '3') ||
                        (head[0] == 0xFF && (head[1] & 0xE0) == 0xE0);
    }
    for (int pass = 0; pass < 2; ++pass)
    {
        if ((pass == 0) == looksMpeg)
        {
            auto mp3 = std::make_unique<CMpg123Source>();
            if (mp3->Open(io, name))
                return mp3;
        }
        else
        {
            auto wave = std::make_unique<CSndfileSource>();
            if (wave->Open(io, name))
                return wave;
        }
    }
    return nullptr;
}

std::unique_ptr<CSoundSource> OpenModuleSource(const CSoundFileIO& io, const char* name)
{
    auto module = std::make_unique<COpenMptSource>();
    if (module->Open(io, name))
        return module;
    return nullptr;
}
