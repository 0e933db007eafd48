#include "platform/sound/SoundOutput.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr int DeviceFrames = 1024;
// The silent output's block: small, so that time and the spectrum move
// smoothly; 512 frames is 11.6 ms.
constexpr int SilentFrames = 512;

// SDL opens libasound itself, and the library writes its complaints straight
// to stderr: eight "ALSA lib conf.c:..." lines where there is no sound card.
// They come here instead, from any thread; the first since the device was
// last tried is kept, for the one line that says what they meant. (The
// default handler also stays quiet where the library asks it to, as while
// SDL lists the devices: what this one hears then is dropped unsaid.)
// Plain characters, never destroyed: an audio thread may still complain
// while the program's statics go at exit.
std::mutex s_AlsaLock;
char s_AlsaSaid[256] = {};

void AlsaSays(const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/, const char* format, ...)
{
    char text[256] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(s_AlsaLock);
    if (s_AlsaSaid[0] == 0)
        std::memcpy(s_AlsaSaid, text, sizeof(s_AlsaSaid));
}

// The ALSA library's first complaint since the last call, or "".
std::string TakeAlsaSaid()
{
    std::lock_guard<std::mutex> lock(s_AlsaLock);
    std::string said = s_AlsaSaid;
    s_AlsaSaid[0] = 0;
    return said;
}

void SDLCALL OutputCallback(void* user, Uint8* stream, int bytes)
{
    static_cast<CSoundOutput*>(user)->DeviceCallback(reinterpret_cast<float*>(stream),
                                                      bytes / static_cast<int>(2 * sizeof(float)));
}
}

void CSoundOutput::Start(CSoundMixer* mixer, bool tryDevice)
{
    Stop();
    m_Mixer = mixer;
    m_Lost.store(false);
    snd_lib_error_set_handler(AlsaSays);
    const bool sdlAudio = tryDevice && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    TakeAlsaSaid();
    if (sdlAudio)
    {
        m_SdlAudio = true;
        SDL_AudioSpec want = {};
        want.freq = OutputRate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = DeviceFrames;
        want.callback = OutputCallback;
        want.userdata = this;
        SDL_AudioSpec have = {};
        // No changes allowed: SDL converts to whatever the hardware takes, so
        // the mix stays 44100 Hz stereo float for good.
        m_Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (m_Device != 0)
        {
            // What is mixed now is heard after the buffer ahead of it: one
            // device buffer of latency (SDL 2 reports nothing finer). The
            // disk and dummy drivers keep no buffer ahead: they take each
            // block as it is handed over and wait out its length after.
            const char* driver = SDL_GetCurrentAudioDriver();
            const bool unbuffered = driver && (std::strcmp(driver, "disk") == 0 || std::strcmp(driver, "dummy") == 0);
            m_Latency = unbuffered ? 0 : (have.samples > 0 ? have.samples : DeviceFrames);
            SDL_PauseAudioDevice(m_Device, 0);
            return;
        }
    }
    if (tryDevice)
    {
        const std::string alsa = TakeAlsaSaid();
        std::fprintf(stderr, "ORBA: sound: no audio device (%s%s%s): playing silently\n", SDL_GetError(),
                     alsa.empty() ? "" : "; the ALSA library: ", alsa.c_str());
    }
    StartSilent();
}

void CSoundOutput::Stop()
{
    if (m_Device != 0)
    {
        SDL_CloseAudioDevice(m_Device); // returns once the callback has finished
        m_Device = 0;
    }
    StopSilent();
    if (m_SdlAudio)
    {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_SdlAudio = false;
    }
}

void CSoundOutput::DeviceCallback(float* out, int frames)
{
    if (m_Lost.load(std::memory_order_relaxed))
    {
        std::memset(out, 0, static_cast<size_t>(frames) * 2 * sizeof(float));
        return;
    }
    m_Mixer->Mix(out, frames, m_Latency, OutputRate);
}

void CSoundOutput::Poll()
{
    if (m_Device == 0)
        return;
    if (m_Lost.load() || SDL_GetAudioDeviceStatus(m_Device) == SDL_AUDIO_STOPPED)
    {
        // A removed device stays open in SDL 2 but never calls back again:
        // close it and let the clock take over where the mix stood.
        SDL_CloseAudioDevice(m_Device);
        m_Device = 0;
        std::fprintf(stderr, "ORBA: sound: the audio device was lost: playing silently\n");
        StartSilent();
    }
}

void CSoundOutput::DeviceRemoved(uint32_t deviceId)
{
    if (m_Device != 0 && deviceId == m_Device)
    {
        m_Lost.store(true);
        Poll();
    }
}

void CSoundOutput::StartSilent()
{
    StopSilent();
    {
        std::lock_guard<std::mutex> lock(m_ClockLock);
        m_ClockStop = false;
    }
    m_Clock = std::thread([this] { SilentLoop(); });
}

void CSoundOutput::StopSilent()
{
    if (!m_Clock.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_ClockLock);
        m_ClockStop = true;
    }
    m_ClockWake.notify_all();
    m_Clock.join();
}

void CSoundOutput::SilentLoop()
{
    std::vector<float> block(SilentFrames * 2);
    auto next = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(m_ClockLock);
    while (!m_ClockStop)
    {
        lock.unlock();
        double speed = m_Speed.load(std::memory_order_relaxed);
        // The block is "played" from now on: no latency.
        m_Mixer->Mix(block.data(), SilentFrames, 0, OutputRate * speed);
        lock.lock();
        next += std::chrono::nanoseconds(static_cast<int64_t>(SilentFrames * 1e9 / (OutputRate * speed)));
        auto now = std::chrono::steady_clock::now();
        // After a stall (a suspended machine) pick up from now rather than
        // rushing to catch up.
        if (now - next > std::chrono::milliseconds(200))
            next = now;
        m_ClockWake.wait_until(lock, next, [this] { return m_ClockStop; });
    }
}
