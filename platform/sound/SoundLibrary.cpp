// The sound library behind the FSOUND_/FMUSIC_ calls.
//
//   [voices]   streams and modules: a decoder, a resampler and a ring
//   [library]  the one instance: mixer, output, spectrum, decoder thread
//   [decoder]  the decoder thread: fills rings, starts voices, raises ends
//   [api]      the calls, all on the main thread
//   [hooks]    close, device loss, tests and benchmarks
//
// Threads: the main thread calls in; the decoder thread decodes ahead and
// calls the end callbacks; the output's thread mixes (see SoundMixer.h).
// The library lock guards every voice field that is not atomic; the mixer
// never takes it.
#include "platform/sound/SoundHooks.h"
#include "platform/sound/SoundFile.h"
#include "platform/sound/SoundMixer.h"
#include "platform/sound/SoundOutput.h"
#include "platform/sound/SoundResampler.h"
#include "platform/sound/SoundSource.h"
#include "platform/sound/SoundSpectrum.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// ---------------------------------------------------------------- [voices]

namespace
{
constexpr int RingFrames = 32768;  // 0.74 s decoded ahead
constexpr int PrefillFrames = 8192; // decoded before a voice is first mixed
constexpr int DecodeChunk = 2048;
constexpr int DecodeBudget = 8192; // per voice per round, so voices take turns
// A position asked for this close to where a stream stopped names the place
// it stopped at (a caller reads it just before the stop).
constexpr int ResumeSlackMs = 50;
// A voice closed while it fades out is deleted once it is quiet, or after
// this long if the output has stopped calling.
constexpr int64_t RetireNanos = 200'000'000;
}

struct CVoice : CVoiceMix
{
    CVoice(std::unique_ptr<CSoundSource> source, bool module)
        : m_Source(std::move(source)), m_IsModule(module), m_Rate(m_Source->Rate()), m_Length(m_Source->Length())
    {
        m_Ring.Allocate(RingFrames);
        m_Resampler.Setup(m_Rate, OutputRate);
    }
    virtual ~CVoice() = default;

    // Fixed at creation.
    std::unique_ptr<CSoundSource> m_Source; // decoder thread, or main thread under the lock
    const bool m_IsModule;
    const int m_Rate;
    const int64_t m_Length; // source frames, -1 for modules
    CResampler m_Resampler;

    // Under the library lock.
    int m_LoopCount = 0;        // -1 forever, 0 once, n: n more times
    int m_LoopsLeft = 0;
    int64_t m_Base = 0;         // source frame where the current run starts
    int64_t m_Place = 0;        // stopped: where it stands and where the next run starts
    bool m_Playing = false;     // from Play to Stop; stays set after a natural end
    bool m_HasPlayed = false;
    // A stopped run stays in its slot, faded out, with its ring and decoder
    // as they were, so that playing on continues right after the last frame
    // handed to the device: the device plays what it was given after the
    // stop, and starting again from what was heard would repeat it.
    bool m_Kept = false;
    bool m_Resumed = false;     // the run went on after a stop
    // Going on, the run's heard position is ahead of the place it stopped at
    // by what the device played after the stop; the reported position starts
    // at the place and catches up over the next frames heard.
    int64_t m_Lag = 0;          // source frames
    int64_t m_LagFrom = 0;      // voice frames heard when the lag was set
    bool m_Attached = false;    // in a mixer slot
    bool m_NeedSeek = false;    // the source must go to m_Base first
    bool m_InputEnded = false;  // the source has given its last frame of the run
    bool m_RunDecoded = false;  // ... and all of it is in the ring
    int64_t m_SinceLoop = 0;    // source frames read since the last loop point
    FSOUND_STREAMCALLBACK m_EndCallback = nullptr;
    void* m_EndUser = nullptr;
    bool m_EndRaised = false;
    // Played after another voice (gapless): the voice it waits for, which
    // names it as its next while it plays.
    CVoice* m_After = nullptr;
    // A seek: the run fades out, then the decoder starts it again here
    // (source frames; -1 for none), fading in.
    int64_t m_SeekTo = -1;
    bool m_RampIn = false;      // the next run fades in
};

struct FSOUND_STREAM : CVoice
{
    using CVoice::CVoice;
};

struct FMUSIC_MODULE : CVoice
{
    using CVoice::CVoice;
};

struct FSOUND_DSPUNIT
{
    bool m_Active = false;
};

// ---------------------------------------------------------------- [library]

namespace
{
class CSoundLibrary
{
public:
    explicit CSoundLibrary(bool tryDevice);
    ~CSoundLibrary();

    bool Owns(CVoice* voice) const;
    void Add(CVoice* voice);
    void Remove(CVoice* voice);

    void StartRun(CVoice* voice);
    void StartRunAfter(CVoice* voice, CVoice* previous);
    void StopRun(CVoice* voice);
    void LinkFollowers(CVoice* voice);
    void Seek(CVoice* voice, int64_t frame);
    void RestartAtSeek(CVoice* voice);
    void ReleaseRun(CVoice* voice);
    void ResumeRun(CVoice* voice);
    bool NamesStopPlace(CVoice* voice, int64_t position);
    void SetLag(CVoice* voice, int64_t position);
    bool EndHeard(CVoice* voice);
    int64_t HeardSourceFrame(CVoice* voice);
    void Wake() { m_Wake.notify_one(); }
    // A pulled output: returns once every playing voice can give `frames`
    // (or has given its last) and every end reached has been raised.
    void Settle(int frames);

    CSoundMixer m_Mixer;
    CSoundOutput m_Output;
    CSpectrum m_Spectrum;
    std::mutex m_Lock;
    // Under m_Lock: the output frame after the last sample of the voice whose
    // end was raised last, so a recording can stop on that sample.
    int64_t m_LastEndFrame = -1;

private:
    void DecoderLoop();
    bool Service(CVoice* voice);
    int Decode(CVoice* voice);
    int ReadInput(CVoice* voice, float* stereo, int frames);
    void FinishRun(CVoice* voice);

    std::condition_variable m_Wake;
    std::vector<CVoice*> m_Voices; // every open stream and module, owned
    // Closed while ramping down (a stop and a close at once): still in the
    // mixer until quiet, with when they were closed; owned.
    std::vector<std::pair<CVoice*, int64_t>> m_Retired;
    bool m_Quit = false;
    std::vector<float> m_InputBuffer;  // decoder thread
    std::vector<float> m_OutputBuffer; // decoder thread
    std::thread m_Decoder;
};

CSoundLibrary* g_SoundLibrary = nullptr;
CSoundFileIO g_SoundIO = CSoundFileIO::Stdio();
FSOUND_DSPUNIT g_FFTUnit;
float g_SoundGain = 1.0f;
bool g_SoundForceSilent = false;
double g_SoundSilentSpeed = 1.0;
bool g_SoundPulled = false;

// The library is never closed by the program: close it at exit, before the
// statics it uses go, so no thread outlives main.
struct CSoundAtExit
{
    ~CSoundAtExit() { FSOUND_Close(); }
} g_SoundAtExit;

CSoundLibrary::CSoundLibrary(bool tryDevice)
    : m_InputBuffer(DecodeChunk * 2), m_OutputBuffer(DecodeChunk * 2)
{
    m_Mixer.SetGain(g_SoundGain);
    m_Output.SetSilentSpeed(g_SoundSilentSpeed);
    // A pulled output has no thread of its own: the recorder is its clock.
    m_Mixer.SetPulled(g_SoundPulled);
    if (!g_SoundPulled)
        m_Output.Start(&m_Mixer, tryDevice);
    m_Decoder = std::thread([this] { DecoderLoop(); });
}

CSoundLibrary::~CSoundLibrary()
{
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Quit = true;
    }
    m_Wake.notify_all();
    m_Decoder.join();
    m_Output.Stop();
    for (CVoice* voice : m_Voices)
        delete voice;
    for (auto& retired : m_Retired)
        delete retired.first;
}

bool CSoundLibrary::Owns(CVoice* voice) const
{
    return voice && std::find(m_Voices.begin(), m_Voices.end(), voice) != m_Voices.end();
}

void CSoundLibrary::Add(CVoice* voice)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Voices.push_back(voice);
}

void CSoundLibrary::Remove(CVoice* voice)
{
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        StopRun(voice);
        m_Voices.erase(std::find(m_Voices.begin(), m_Voices.end(), voice));
        // A voice that waited for this one waits on for good: nothing of
        // this one's is left for it to follow.
        for (CVoice* other : m_Voices)
            if (other->m_After == voice)
                other->m_After = nullptr;
        if (voice->m_Kept && !voice->m_Quiet.load())
        {
            // Let the ramp down play out: cut off now, the stop would click
            // after all.
            m_Retired.emplace_back(voice, SoundNowNanos());
            Wake();
            return;
        }
        ReleaseRun(voice);
    }
    delete voice;
}

void CSoundLibrary::StartRun(CVoice* voice)
{
    // The voice is in no slot here: everything may be reset.
    ReleaseRun(voice);
    voice->m_Base = voice->m_Place;
    voice->m_Ring.Clear();
    voice->m_Paused.store(false);
    voice->m_Held.store(false);
    voice->m_DecodeDone.store(false);
    voice->m_Ended.store(false);
    voice->m_ResumedAt.store(-1);
    voice->m_Quiet.store(false);
    voice->m_MixPos = 0;
    // A new run starts with the file's own sample, untouched; after a seek
    // it fades in, as a cut in the waveform is a click.
    voice->m_FadeStep = voice->m_RampIn ? 0 : FadeFrames;
    voice->m_RampIn = false;
    voice->m_SeekTo = -1;
    voice->m_WasHeld = false;
    voice->m_Clock.Reset();
    voice->m_Resampler.Reset();
    voice->m_NeedSeek = true;
    voice->m_InputEnded = false;
    voice->m_RunDecoded = false;
    voice->m_SinceLoop = 0;
    voice->m_LoopsLeft = voice->m_LoopCount;
    voice->m_EndRaised = false;
    voice->m_Resumed = false;
    voice->m_Lag = 0;
    voice->m_Waiting.store(false);
    voice->m_Playing = true;
    voice->m_HasPlayed = true;
    LinkFollowers(voice);
    Wake();
}

void CSoundLibrary::StartRunAfter(CVoice* voice, CVoice* previous)
{
    StartRun(voice);
    // In its slot it waits, decoded ahead; the decoder links it to the
    // previous voice once it is attached (see Service).
    voice->m_Waiting.store(true);
    voice->m_After = previous;
}

void CSoundLibrary::Seek(CVoice* voice, int64_t frame)
{
    frame = std::max<int64_t>(frame, 0);
    if (voice->m_Length > 0)
        frame = std::min(frame, voice->m_Length);
    if (!voice->m_Playing)
    {
        // Stopped or paused: it goes on from there when it plays, fading in
        // (a kept run is quiet already).
        ReleaseRun(voice);
        voice->m_Place = frame;
        voice->m_RampIn = true;
        return;
    }
    voice->m_SeekTo = frame;
    // No hand-over while it moves, should the fade out reach its last frame.
    voice->m_Next.store(nullptr, std::memory_order_release);
    if (voice->m_Attached && !voice->m_Ended.load())
    {
        voice->m_Held.store(true, std::memory_order_release);
        Wake();
        return;
    }
    RestartAtSeek(voice);
}

void CSoundLibrary::RestartAtSeek(CVoice* voice)
{
    // A paused module stays paused where it moved to.
    const bool paused = voice->m_Paused.load();
    voice->m_Place = voice->m_SeekTo;
    voice->m_RampIn = true;
    StartRun(voice);
    voice->m_Paused.store(paused);
}

void CSoundLibrary::LinkFollowers(CVoice* voice)
{
    for (CVoice* other : m_Voices)
        if (other->m_After == voice && other->m_Attached && other->m_Waiting.load())
            voice->m_Next.store(other, std::memory_order_release);
}

void CSoundLibrary::StopRun(CVoice* voice)
{
    if (!voice->m_Playing)
        return;
    // A stopped run hands over to nobody, even if its ramp down reaches its
    // last frame; playing on links the next again.
    voice->m_Next.store(nullptr, std::memory_order_release);
    if (voice->m_SeekTo >= 0)
    {
        // Stopped while moving: it stands where it was moved to.
        voice->m_Place = voice->m_SeekTo;
        voice->m_SeekTo = -1;
        voice->m_RampIn = true;
        voice->m_Playing = false;
        ReleaseRun(voice);
        return;
    }
    // Keep the place the listener had reached, for GetTime and a later Play.
    voice->m_Place = HeardSourceFrame(voice);
    voice->m_Playing = false;
    if (voice->m_Attached && !voice->m_Ended.load())
    {
        // The mixer ramps it down and holds it where the ramp ends.
        voice->m_ResumedAt.store(-1);
        voice->m_Held.store(true, std::memory_order_release);
        voice->m_Kept = true;
        return;
    }
    ReleaseRun(voice);
}

void CSoundLibrary::ReleaseRun(CVoice* voice)
{
    if (CVoice* previous = voice->m_After)
    {
        if (previous->m_Next.load() == voice)
        {
            previous->m_Next.store(nullptr);
            m_Mixer.WaitForPass();
        }
        voice->m_After = nullptr;
    }
    voice->m_Waiting.store(false);
    if (voice->m_Attached)
    {
        m_Mixer.Detach(voice);
        voice->m_Attached = false;
    }
    voice->m_Kept = false;
    voice->m_Resumed = false;
    voice->m_Ring.Clear();
}

void CSoundLibrary::ResumeRun(CVoice* voice)
{
    voice->m_Kept = false;
    voice->m_Resumed = true;
    voice->m_Playing = true;
    voice->m_HasPlayed = true;
    SetLag(voice, voice->m_Place);
    LinkFollowers(voice);
    voice->m_Held.store(false, std::memory_order_release);
    Wake();
}

bool CSoundLibrary::NamesStopPlace(CVoice* voice, int64_t position)
{
    if (voice->m_Playing)
    {
        // Only until the listener hears the run go on.
        int64_t resumedAt = voice->m_ResumedAt.load(std::memory_order_acquire);
        if (!voice->m_Resumed || voice->m_Ended.load() ||
            (resumedAt >= 0 && voice->m_Clock.PositionAt(m_Mixer.HeardFrame()) > resumedAt))
            return false;
    }
    else if (!voice->m_Kept || voice->m_Ended.load())
        return false;
    int64_t distance = std::abs(position - voice->m_Place);
    if (voice->m_Length > 0 && voice->m_LoopCount != 0)
        distance = std::min(distance, voice->m_Length - distance);
    return distance <= static_cast<int64_t>(voice->m_Rate) * ResumeSlackMs / 1000;
}

void CSoundLibrary::SetLag(CVoice* voice, int64_t position)
{
    voice->m_Place = position;
    voice->m_Lag = 0;
    int64_t played = voice->m_Clock.PositionAt(m_Mixer.HeardFrame());
    int64_t lag = voice->m_Base + played * voice->m_Rate / OutputRate - position;
    if (voice->m_Length > 0 && voice->m_LoopCount != 0)
    {
        lag %= voice->m_Length;
        if (lag < 0)
            lag += voice->m_Length;
        if (lag > voice->m_Length / 2)
            lag -= voice->m_Length;
    }
    voice->m_Lag = std::max<int64_t>(lag, 0);
    voice->m_LagFrom = played;
}

bool CSoundLibrary::EndHeard(CVoice* voice)
{
    // The mixer marks the end when it takes the last frame; the listener
    // hears it a device buffer later.
    return voice->m_Ended.load(std::memory_order_acquire) &&
           m_Mixer.HeardFrame() >= voice->m_EndFrame.load(std::memory_order_relaxed);
}

int64_t CSoundLibrary::HeardSourceFrame(CVoice* voice)
{
    // Moving: the place asked for, from the moment it is asked.
    if (voice->m_SeekTo >= 0)
        return voice->m_SeekTo;
    if (!voice->m_Playing)
        return voice->m_Place;
    if (voice->m_Length > 0 && voice->m_LoopCount >= 0 && EndHeard(voice))
        return voice->m_Length;
    int64_t played = voice->m_Clock.PositionAt(m_Mixer.HeardFrame());
    // The resampler puts output frame n at source frame n × rate / 44100.
    int64_t position = voice->m_Base + played * voice->m_Rate / OutputRate;
    if (voice->m_Lag > 0)
        position -= std::max<int64_t>(voice->m_Lag - (played - voice->m_LagFrom) * voice->m_Rate / OutputRate, 0);
    if (voice->m_Length > 0)
    {
        position = voice->m_LoopCount != 0 ? position % voice->m_Length : std::min(position, voice->m_Length);
        if (position < 0)
            position += voice->m_Length;
    }
    return std::max<int64_t>(position, 0);
}

void CSoundLibrary::Settle(int frames)
{
    for (;;)
    {
        bool ready = true;
        {
            std::lock_guard<std::mutex> lock(m_Lock);
            for (CVoice* voice : m_Voices)
            {
                if (!voice->m_Playing || voice->m_EndRaised)
                    continue;
                // The decoder attaches a voice once its ring is primed, and
                // raises an end on its next round: both must have happened
                // before the next frames are mixed, as they would have in
                // real time.
                // A seek whose fade out is over starts again first.
                if (voice->m_Ended.load() || !voice->m_Attached ||
                    (voice->m_SeekTo >= 0 && voice->m_Quiet.load()))
                    ready = false;
                else if (!voice->m_Paused.load() && voice->m_Ring.Available() < frames && !voice->m_DecodeDone.load())
                    ready = false;
                if (!ready)
                    break;
            }
        }
        if (ready)
            return;
        Wake();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

// ---------------------------------------------------------------- [decoder]

void CSoundLibrary::DecoderLoop()
{
    std::unique_lock<std::mutex> lock(m_Lock);
    while (!m_Quit)
    {
        bool more = false, playing = false;
        for (CVoice* voice : m_Voices)
        {
            more |= Service(voice);
            playing |= voice->m_Playing && !voice->m_EndRaised;
        }
        for (size_t i = 0; i < m_Retired.size();)
        {
            CVoice* voice = m_Retired[i].first;
            if (voice->m_Quiet.load() || voice->m_Ended.load() || SoundNowNanos() - m_Retired[i].second > RetireNanos)
            {
                ReleaseRun(voice);
                delete voice;
                m_Retired.erase(m_Retired.begin() + static_cast<std::ptrdiff_t>(i));
            }
            else
                ++i;
        }
        playing |= !m_Retired.empty();
        // Rings are 0.74 s deep: a 5 ms nap between rounds keeps them full
        // (and ends noticed) without a wake-up from the audio callback.
        // With nothing playing, sleep until a play.
        if (!playing)
            m_Wake.wait(lock);
        else if (!more)
            m_Wake.wait_for(lock, std::chrono::milliseconds(5));
    }
}

bool CSoundLibrary::Service(CVoice* voice)
{
    if (!voice->m_Playing)
        return false;
    // A seek waits for its fade out to be mixed.
    if (voice->m_SeekTo >= 0 && (voice->m_Quiet.load() || voice->m_Ended.load() || !voice->m_Attached))
        RestartAtSeek(voice);
    if (voice->m_NeedSeek)
    {
        voice->m_NeedSeek = false;
        if (!voice->m_Source->Seek(voice->m_Base))
            voice->m_InputEnded = true;
    }
    int budget = DecodeBudget;
    while (!voice->m_RunDecoded && budget > 0 && voice->m_Ring.Free() >= DecodeChunk)
        budget -= std::max(Decode(voice), DecodeChunk / 8);
    bool more = !voice->m_RunDecoded && voice->m_Ring.Free() >= DecodeChunk;

    if (!voice->m_Attached && !voice->m_Ended.load() &&
        (voice->m_Ring.Available() >= PrefillFrames || voice->m_DecodeDone.load()))
    {
        voice->m_Attached = m_Mixer.Attach(voice);
        CVoice* previous = voice->m_After;
        if (voice->m_Attached && previous && voice->m_Waiting.load())
        {
            // A paused one links again when it plays on (LinkFollowers).
            if (previous->m_Playing)
                previous->m_Next.store(voice, std::memory_order_release);
            // Ended before it could be linked: start now (the one gap left).
            if (previous->m_Playing && previous->m_Ended.load(std::memory_order_acquire))
                voice->m_Waiting.store(false);
        }
    }

    if (!voice->m_EndRaised && EndHeard(voice))
    {
        voice->m_EndRaised = true;
        // The next voice has started in the mixer; should the link have come
        // too late for it, it starts now.
        if (CVoiceMix* next = voice->m_Next.load())
            next->m_Waiting.store(false);
        m_LastEndFrame = voice->m_EndFrame.load(std::memory_order_relaxed);
        if (voice->m_Attached)
        {
            m_Mixer.Detach(voice);
            voice->m_Attached = false;
        }
        // Called under the library lock: the stream cannot be closed under
        // the callback's feet (and the callback must not call back in).
        if (!voice->m_IsModule && voice->m_EndCallback)
            voice->m_EndCallback(static_cast<FSOUND_STREAM*>(voice), nullptr, 0, voice->m_EndUser);
    }
    return more;
}

int CSoundLibrary::ReadInput(CVoice* voice, float* stereo, int frames)
{
    if (voice->m_InputEnded)
        return 0;
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        int got = voice->m_Source->Read(stereo, frames);
        if (got > 0)
        {
            voice->m_SinceLoop += got;
            return got;
        }
        // The end of the source. A stream with loops left starts over
        // (seamlessly: the resampler never sees a break); one that gave
        // nothing since the last loop point would loop forever on nothing.
        // Modules loop inside libopenmpt.
        if (voice->m_IsModule || voice->m_LoopsLeft == 0 || voice->m_SinceLoop == 0 || !voice->m_Source->Seek(0))
            break;
        if (voice->m_LoopsLeft > 0)
            --voice->m_LoopsLeft;
        voice->m_SinceLoop = 0;
    }
    voice->m_InputEnded = true;
    return 0;
}

void CSoundLibrary::FinishRun(CVoice* voice)
{
    voice->m_RunDecoded = true;
    voice->m_DecodeDone.store(true, std::memory_order_release);
}

int CSoundLibrary::Decode(CVoice* voice)
{
    const int want = std::min(DecodeChunk, voice->m_Ring.Free());
    CResampler& resampler = voice->m_Resampler;
    if (resampler.IsPassThrough())
    {
        int got = ReadInput(voice, m_OutputBuffer.data(), want);
        if (got == 0)
        {
            FinishRun(voice);
            return 0;
        }
        voice->m_Ring.Write(m_OutputBuffer.data(), got);
        return got;
    }
    for (int need = resampler.InputWanted(want); need > 0;)
    {
        int got = ReadInput(voice, m_InputBuffer.data(), std::min(need, DecodeChunk));
        if (got == 0)
        {
            resampler.MarkEnd();
            break;
        }
        resampler.Push(m_InputBuffer.data(), got);
        need -= got;
    }
    int produced = resampler.Pull(m_OutputBuffer.data(), want);
    voice->m_Ring.Write(m_OutputBuffer.data(), produced);
    if (resampler.IsFinished())
        FinishRun(voice);
    return produced;
}
}

// ---------------------------------------------------------------- [api]

signed char FSOUND_Init(int mixRate, int maxChannels, unsigned int flags)
{
    // The output runs at 44100 Hz whatever is asked; sources are resampled.
    if (!g_SoundLibrary)
        g_SoundLibrary = new CSoundLibrary(!g_SoundForceSilent);
    return 1;
}

FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit()
{
    return &g_FFTUnit;
}

signed char FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, signed char active)
{
    if (!unit)
        return 0;
    unit->m_Active = active != 0;
    return 1;
}

float* FSOUND_DSP_GetSpectrum()
{
    CSoundLibrary* library = g_SoundLibrary;
    if (!library || !g_FFTUnit.m_Active)
        return nullptr;
    library->m_Output.Poll();
    float mono[CSpectrum::s_Size];
    library->m_Mixer.ReadHistory(library->m_Mixer.HeardFrame(), mono, CSpectrum::s_Size);
    return const_cast<float*>(library->m_Spectrum.Compute(mono));
}

signed char FSOUND_SetSFXMasterVolume(int volume)
{
    // Cubic: even steps along the groove sound like even steps in loudness.
    float v = static_cast<float>(std::clamp(volume, 0, 255)) / 255.0f;
    g_SoundGain = v * v * v;
    if (!g_SoundLibrary)
        return 0;
    g_SoundLibrary->m_Mixer.SetGain(g_SoundGain);
    g_SoundLibrary->m_Output.Poll();
    return 1;
}

void FSOUND_File_SetCallbacks(FSOUND_OPENCALLBACK open, FSOUND_CLOSECALLBACK close, FSOUND_READCALLBACK read,
                              FSOUND_SEEKCALLBACK seek, FSOUND_TELLCALLBACK tell)
{
    CSoundFileIO io;
    io.m_Open = open;
    io.m_Close = close;
    io.m_Read = read;
    io.m_Seek = seek;
    io.m_Tell = tell;
    // An incomplete set would leave files half-handled: stdio instead.
    g_SoundIO = io.IsComplete() ? io : CSoundFileIO::Stdio();
}

// ---- modules

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name)
{
    if (!g_SoundLibrary)
        return nullptr;
    std::unique_ptr<CSoundSource> source = OpenModuleSource(g_SoundIO, name);
    if (!source)
        return nullptr;
    auto* module = new FMUSIC_MODULE(std::move(source), true);
    g_SoundLibrary->Add(module);
    return module;
}

namespace
{
// Runs `action` on the voice under the library lock when the library owns
// it; otherwise returns `fallback`.
template <class Result, class Action>
Result WithVoice(CVoice* voice, Result fallback, Action action)
{
    CSoundLibrary* library = g_SoundLibrary;
    if (!library || !voice)
        return fallback;
    std::lock_guard<std::mutex> lock(library->m_Lock);
    if (!library->Owns(voice))
        return fallback;
    return action(*library);
}
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module)
{
    return WithVoice<signed char>(module, 0, [&](CSoundLibrary& library) {
        library.StopRun(module);
        module->m_Place = 0;
        library.StartRun(module);
        return 1;
    });
}

signed char FSOUND_PlayAfter(FSOUND_STREAM* stream, FMUSIC_MODULE* module, FSOUND_STREAM* afterStream,
                             FMUSIC_MODULE* afterModule)
{
    CVoice* voice = stream ? static_cast<CVoice*>(stream) : module;
    CVoice* previous = afterStream ? static_cast<CVoice*>(afterStream) : afterModule;
    return WithVoice<signed char>(voice, 0, [&](CSoundLibrary& library) {
        if (!library.Owns(previous) || previous == voice)
            return static_cast<signed char>(0);
        library.StopRun(voice);
        voice->m_Place = 0;
        if (previous->m_Playing && previous->m_Ended.load())
            library.StartRun(voice);
        else
            library.StartRunAfter(voice, previous);
        return static_cast<signed char>(1);
    });
}

signed char FMUSIC_SetTime(FMUSIC_MODULE* module, int ms)
{
    return WithVoice<signed char>(module, 0, [&](CSoundLibrary& library) {
        // Rounded up: the time read back is then the one asked for.
        library.Seek(module, (static_cast<int64_t>(std::max(ms, 0)) * module->m_Rate + 999) / 1000);
        return 1;
    });
}

signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms)
{
    return WithVoice<signed char>(stream, 0, [&](CSoundLibrary& library) {
        library.Seek(stream, (static_cast<int64_t>(std::max(ms, 0)) * stream->m_Rate + 999) / 1000);
        return 1;
    });
}

signed char FMUSIC_SetLooping(FMUSIC_MODULE* module, signed char looping)
{
    return WithVoice<signed char>(module, 0, [&](CSoundLibrary& library) {
        module->m_LoopCount = looping ? -1 : 0;
        module->m_Source->SetRepeat(looping != 0);
        // Already decoded to its end but not yet heard to it: start over, as
        // a looping song would have.
        if (looping && module->m_Playing && module->m_InputEnded && !module->m_Ended.load() &&
            module->m_Source->Seek(0))
        {
            module->m_InputEnded = false;
            module->m_RunDecoded = false;
            module->m_DecodeDone.store(false);
            library.Wake();
        }
        return 1;
    });
}

signed char FMUSIC_SetPaused(FMUSIC_MODULE* module, signed char pause)
{
    return WithVoice<signed char>(module, 0, [&](CSoundLibrary&) {
        module->m_Paused.store(pause != 0, std::memory_order_release);
        return 1;
    });
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module)
{
    return WithVoice<signed char>(module, 0, [&](CSoundLibrary& library) {
        library.StopRun(module);
        return 1;
    });
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module)
{
    CSoundLibrary* library = g_SoundLibrary;
    if (!WithVoice<bool>(module, false, [](CSoundLibrary&) { return true; }))
        return 0;
    library->Remove(module);
    return 1;
}

signed char FMUSIC_IsFinished(FMUSIC_MODULE* module)
{
    return WithVoice<signed char>(module, 0, [&](CSoundLibrary& library) {
        return static_cast<signed char>(library.EndHeard(module) || (module->m_HasPlayed && !module->m_Playing));
    });
}

int FMUSIC_GetTime(FMUSIC_MODULE* module)
{
    return WithVoice<int>(module, 0, [&](CSoundLibrary& library) {
        return static_cast<int>(library.HeardSourceFrame(module) * 1000 / OutputRate);
    });
}

// ---- streams

FSOUND_STREAM* FSOUND_Stream_Open(const char* name, unsigned int mode, int offset, int length)
{
    if (!g_SoundLibrary)
        return nullptr;
    std::unique_ptr<CSoundSource> source = OpenStreamSource(g_SoundIO, name);
    if (!source)
        return nullptr;
    auto* stream = new FSOUND_STREAM(std::move(source), false);
    stream->m_LoopCount = (mode & FSOUND_LOOP_NORMAL) ? -1 : 0;
    g_SoundLibrary->Add(stream);
    return stream;
}

signed char FSOUND_Stream_SetLoopCount(FSOUND_STREAM* stream, int count)
{
    return WithVoice<signed char>(stream, 0, [&](CSoundLibrary&) {
        stream->m_LoopCount = count < 0 ? -1 : count;
        stream->m_LoopsLeft = stream->m_LoopCount;
        return 1;
    });
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream)
{
    // The channel is the library's business: any request is accepted.
    return WithVoice<int>(stream, -1, [&](CSoundLibrary& library) {
        if (stream->m_Playing && !stream->m_Ended.load())
            return 0;
        if (stream->m_Kept && !stream->m_Ended.load())
        {
            library.ResumeRun(stream);
            return 0;
        }
        const bool over = stream->m_Playing;
        library.StopRun(stream);
        // Played to its end (if not yet heard to it): play again from the start.
        if (over || stream->m_Place >= stream->m_Length)
            stream->m_Place = 0;
        library.StartRun(stream);
        return 0;
    });
}

signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userData)
{
    return WithVoice<signed char>(stream, 0, [&](CSoundLibrary&) {
        stream->m_EndCallback = callback;
        stream->m_EndUser = userData;
        return 1;
    });
}

unsigned int FSOUND_Stream_GetPosition(FSOUND_STREAM* stream)
{
    // PCM frames of the source: what SetPosition takes back.
    return WithVoice<unsigned int>(stream, 0u, [&](CSoundLibrary& library) {
        return static_cast<unsigned int>(library.HeardSourceFrame(stream));
    });
}

signed char FSOUND_Stream_SetPosition(FSOUND_STREAM* stream, unsigned int position)
{
    return WithVoice<signed char>(stream, 0, [&](CSoundLibrary& library) {
        const int64_t place = std::min<int64_t>(position, stream->m_Length);
        if (library.NamesStopPlace(stream, place))
        {
            // Where it stopped: it goes on (or will) from there, after what
            // the device played.
            if (stream->m_Playing)
                library.SetLag(stream, place);
            else
                stream->m_Place = place;
            return 1;
        }
        bool playing = stream->m_Playing && !stream->m_Ended.load();
        library.StopRun(stream);
        library.ReleaseRun(stream);
        stream->m_Place = place;
        if (playing)
            library.StartRun(stream);
        return 1;
    });
}

signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream)
{
    return WithVoice<signed char>(stream, 0, [&](CSoundLibrary& library) {
        library.StopRun(stream);
        return 1;
    });
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream)
{
    CSoundLibrary* library = g_SoundLibrary;
    if (!WithVoice<bool>(stream, false, [](CSoundLibrary&) { return true; }))
        return 0;
    library->Remove(stream);
    return 1;
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream)
{
    return WithVoice<int>(stream, 0, [&](CSoundLibrary& library) {
        return static_cast<int>(library.HeardSourceFrame(stream) * 1000 / stream->m_Rate);
    });
}

int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream)
{
    return WithVoice<int>(stream, 0, [&](CSoundLibrary&) {
        return static_cast<int>((stream->m_Length * 1000 + stream->m_Rate / 2) / stream->m_Rate);
    });
}

// ---------------------------------------------------------------- tags

signed char FSOUND_ReadTags(const char* name, FSOUND_TAGS* tags)
{
    if (!tags)
        return 0;
    *tags = FSOUND_TAGS{};
    if (!name)
        return 0;
    std::unique_ptr<CSoundSource> source = OpenModuleSource(g_SoundIO, name);
    if (!source)
        source = OpenStreamSource(g_SoundIO, name);
    if (!source)
        return 0;
    std::string title, artist, album;
    source->Tags(&title, &artist, &album);
    auto copy = [](const std::string& from, char (&to)[256]) {
        size_t n = std::min(from.size(), sizeof(to) - 1);
        // Never half a UTF-8 character at the cut.
        if (n < from.size())
            while (n > 0 && (static_cast<unsigned char>(from[n]) & 0xC0) == 0x80)
                --n;
        std::memcpy(to, from.data(), n);
        to[n] = 0;
    };
    copy(title, tags->title);
    copy(artist, tags->artist);
    copy(album, tags->album);
    return 1;
}

void FSOUND_SetPulledOutput(signed char pulled)
{
    g_SoundPulled = pulled != 0;
}

signed char FSOUND_PullOutput(float* stereo, int frames)
{
    CSoundLibrary* library = g_SoundLibrary;
    if (!library || !g_SoundPulled || frames < 0 || (frames > 0 && !stereo))
        return 0;
    // In the mixer's own chunks, so that a voice's ring never has to hold
    // more than it can.
    constexpr int Chunk = 1024;
    for (int done = 0; done < frames;)
    {
        const int n = std::min(Chunk, frames - done);
        library->Settle(n);
        library->m_Mixer.Mix(stereo + static_cast<size_t>(done) * 2, n, 0, OutputRate);
        done += n;
    }
    library->Settle(0);
    return 1;
}

int64_t FSOUND_GetLastEndFrame()
{
    CSoundLibrary* library = g_SoundLibrary;
    if (!library)
        return -1;
    std::lock_guard<std::mutex> lock(library->m_Lock);
    return library->m_LastEndFrame;
}

// ---------------------------------------------------------------- [hooks]

void FSOUND_Close()
{
    delete g_SoundLibrary;
    g_SoundLibrary = nullptr;
}

void FSOUND_AudioDeviceRemoved(unsigned int deviceId)
{
    if (g_SoundLibrary)
        g_SoundLibrary->m_Output.DeviceRemoved(deviceId);
}

void FSOUND_Test_ForceSilentOutput(bool force)
{
    g_SoundForceSilent = force;
}

void FSOUND_Test_SetSilentSpeed(double speed)
{
    g_SoundSilentSpeed = speed > 0.0 ? speed : 1.0;
    if (g_SoundLibrary)
        g_SoundLibrary->m_Output.SetSilentSpeed(g_SoundSilentSpeed);
}

bool FSOUND_Test_IsSilentOutput()
{
    return g_SoundLibrary && g_SoundLibrary->m_Output.IsSilent();
}

float FSOUND_Test_MasterGain()
{
    return g_SoundGain;
}

void FSOUND_Test_SimulateDeviceLoss()
{
    if (g_SoundLibrary)
        g_SoundLibrary->m_Output.SimulateLoss();
}

void FSOUND_Test_CaptureOutput(int frames)
{
    if (g_SoundLibrary)
        g_SoundLibrary->m_Mixer.SetCapture(frames);
}

int FSOUND_Test_ReadOutput(float* stereo, int maxFrames)
{
    return g_SoundLibrary ? g_SoundLibrary->m_Mixer.ReadCapture(stereo, maxFrames) : 0;
}

void FSOUND_Test_LogOutputBlocks(int blocks)
{
    if (g_SoundLibrary)
        g_SoundLibrary->m_Mixer.SetBlockLog(blocks);
}

int FSOUND_Test_ReadOutputBlocks(int64_t* firstFrames, int* lengths, double* seconds, int maxBlocks)
{
    return g_SoundLibrary ? g_SoundLibrary->m_Mixer.ReadBlockLog(firstFrames, lengths, seconds, maxBlocks) : 0;
}

int64_t FSOUND_Test_MixedFrames()
{
    return g_SoundLibrary ? g_SoundLibrary->m_Mixer.MixedFrames() : 0;
}

int64_t FSOUND_Test_Underruns()
{
    return g_SoundLibrary ? g_SoundLibrary->m_Mixer.Underruns() : 0;
}

int64_t FSOUND_Test_HeardFrame()
{
    return g_SoundLibrary ? g_SoundLibrary->m_Mixer.HeardFrame() : 0;
}

bool FSOUND_Test_OutputClock(int64_t* blockFrame, int* blockFrames, double* mixSeconds)
{
    return g_SoundLibrary && g_SoundLibrary->m_Mixer.OutputClock(blockFrame, blockFrames, mixSeconds);
}

int64_t FSOUND_Test_StreamStartFrame(FSOUND_STREAM* stream)
{
    return WithVoice<int64_t>(stream, -1, [&](CSoundLibrary&) { return stream->m_Clock.FirstFrame(); });
}

int64_t FSOUND_Test_DecodeFile(const char* name, float* out, int64_t maxFrames)
{
    std::unique_ptr<CSoundSource> source = OpenStreamSource(g_SoundIO, name);
    if (!source)
        return -1;
    CResampler resampler;
    resampler.Setup(source->Rate(), OutputRate);
    std::vector<float> input(DecodeChunk * 2), output(DecodeChunk * 2);
    int64_t total = 0;
    auto keep = [&](const float* frames, int count) {
        if (out && total < maxFrames)
        {
            int64_t n = std::min<int64_t>(count, maxFrames - total);
            std::copy(frames, frames + n * 2, out + total * 2);
        }
        total += count;
    };
    if (resampler.IsPassThrough())
    {
        while (int got = source->Read(output.data(), DecodeChunk))
            keep(output.data(), got);
        return total;
    }
    while (!resampler.IsFinished())
    {
        for (int need = resampler.InputWanted(DecodeChunk); need > 0;)
        {
            int got = source->Read(input.data(), std::min(need, DecodeChunk));
            if (got == 0)
            {
                resampler.MarkEnd();
                break;
            }
            resampler.Push(input.data(), got);
            need -= got;
        }
        keep(output.data(), resampler.Pull(output.data(), DecodeChunk));
    }
    return total;
}
