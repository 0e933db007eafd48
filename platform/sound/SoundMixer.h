#pragma once
// Inside platform/ only: the mixer of the sound library and what it shares
// with the rest of it.
//
// Threads. Mix runs on the output's thread (SDL's audio callback or the
// silent output's clock thread; never both at once) and touches only the
// lock-free parts below: voice slots (atomic pointers), each voice's ring
// (written by the decoder thread, read here), its atomic flags and its clock
// (written here, read by the main thread). It never locks, waits, allocates
// or touches a file. Everything else of the library runs on the main thread
// and the decoder thread under the library lock.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

constexpr int OutputRate = 44100;
// Pause, resume and stop ramp a voice's gain over this many output frames
// (5.8 ms): a cut in the waveform is a click.
constexpr int FadeFrames = 256;

// Single-producer single-consumer ring of stereo float frames.
class CFrameRing
{
public:
    void Allocate(int frames); // a power of two; not while in use
    void Clear();              // neither end may be in use
    int Capacity() const { return static_cast<int>(m_Mask + 1); }
    int Available() const;     // reader side
    int Free() const;          // writer side
    int Write(const float* stereo, int frames);
    int Read(float* stereo, int frames);

private:
    std::vector<float> m_Data;
    uint64_t m_Mask = 0;
    std::atomic<uint64_t> m_Write{0};
    std::atomic<uint64_t> m_Read{0};
};

// Where a voice's frames went on the output's timeline: a few runs of
// (output frame, voice frame, count), so that the main thread can tell which
// voice frame the listener hears at any output frame, pauses and underruns
// included. Written by the mixer; read by the main thread under a sequence
// count (all fields atomic, so a torn read is retried, never a data race).
class CVoiceClock
{
public:
    void Reset();                                  // voice not in the mixer
    void Record(int64_t outFrame, int64_t voiceFrame, int count);
    // Voice frames played by output frame `outFrame` (0 before the first).
    int64_t PositionAt(int64_t outFrame) const;
    // Output frame of the voice's first frame, -1 before it was mixed.
    int64_t FirstFrame() const { return m_First.load(std::memory_order_relaxed); }

private:
    static constexpr int s_Runs = 32;
    std::atomic<uint32_t> m_Seq{0};
    std::atomic<uint32_t> m_Count{0};
    std::atomic<int64_t> m_First{-1};
    std::atomic<int64_t> m_Out[s_Runs] = {};
    std::atomic<int64_t> m_Voice[s_Runs] = {};
    std::atomic<int64_t> m_Length[s_Runs] = {};
};

// The mixer's view of a stream or module.
struct CVoiceMix
{
    CFrameRing m_Ring;                     // decoder thread → mixer, at 44100 Hz
    std::atomic<bool> m_Paused{false};     // main → mixer
    std::atomic<bool> m_DecodeDone{false}; // decoder: the ring holds the last frames
    std::atomic<bool> m_Held{false};       // main → mixer: a stopped run fades out and keeps its place
    std::atomic<bool> m_Ended{false};      // mixer: the last frame has been mixed
    std::atomic<int64_t> m_EndFrame{0};    // mixer, before m_Ended: the output frame after the last one
    std::atomic<int64_t> m_ResumedAt{-1};  // mixer: the voice frame at which it sounded again after a hold
    std::atomic<bool> m_Quiet{false};      // mixer: held and ramped down to nothing
    // Gapless hand-over. A waiting voice sits in its slot, decoded ahead, and
    // is not mixed until the voice that names it as next ends: the mixer
    // then starts it on the output frame after that voice's last, in the
    // same pass.
    std::atomic<bool> m_Waiting{false};           // main → mixer; mixer clears it
    std::atomic<CVoiceMix*> m_Next{nullptr};      // main → mixer
    int64_t m_MixedUntil = 0;              // mixer only: output frames taken up to here
    int64_t m_MixPos = 0;                  // mixer only while in a slot
    // Mixer only while in a slot: the gain is m_FadeStep / FadeFrames. A
    // fading voice takes frames only while its gain is above zero, so every
    // frame taken from the ring is heard, however quietly, and none twice.
    int m_FadeStep = FadeFrames;
    bool m_WasHeld = false;                // mixer only: held in the last pass
    CVoiceClock m_Clock;
};

class CSoundMixer
{
public:
    CSoundMixer();
    ~CSoundMixer();

    // Output thread: `frames` stereo frames into `out`. `latency` is how many
    // output frames lie between this block's start and what the listener
    // hears when it begins; `framesPerSecond` paces the heard position.
    void Mix(float* out, int frames, int latency, double framesPerSecond);

    // Main or decoder thread, under the library lock.
    bool Attach(CVoiceMix* voice);
    // Removes the voice and returns once no mix pass can still be reading it.
    void Detach(CVoiceMix* voice);
    // Returns once no mix pass that began before the call is still running.
    void WaitForPass();

    // Main thread.
    void SetGain(float gain) { m_Gain.store(gain, std::memory_order_relaxed); }
    // A pulled output (recording): the listener hears the end of what was mixed.
    void SetPulled(bool pulled) { m_Pulled.store(pulled); }
    // Output frame the listener hears now.
    int64_t HeardFrame() const;
    int64_t MixedFrames() const { return m_Mixed.load(std::memory_order_acquire); }
    // Mix passes in which a playing voice's ring ran dry before its decoder
    // had delivered the last frame: each is a gap the listener hears.
    int64_t Underruns() const { return m_Underruns.load(std::memory_order_relaxed); }
    // The `count` mono frames of the pre-volume mix ending at output frame
    // `end` (zeros where nothing was mixed).
    void ReadHistory(int64_t end, float* mono, int count) const;
    bool OutputClock(int64_t* blockFrame, int* blockFrames, double* mixSeconds) const;

    // Test tap of the final output (after the master volume).
    void SetCapture(int frames);
    int ReadCapture(float* stereo, int frames);
    // Test tap of the output's pace: each block's first frame, length and
    // steady-clock time, as Mix is asked for it. Main thread; never waits the
    // mixer, which drops entries while the log is full.
    void SetBlockLog(int blocks);
    int ReadBlockLog(int64_t* firstFrames, int* lengths, double* seconds, int count);

private:
    static constexpr int s_Slots = 64;
    static constexpr int s_Chunk = 1024;
    static constexpr int s_History = 16384; // power of two

    void MixVoice(CVoiceMix* voice, int64_t outFrame, int frames, float* accum);

    std::atomic<CVoiceMix*> m_Slots[s_Slots] = {};
    std::atomic<bool> m_Busy{false};
    std::atomic<uint64_t> m_Passes{0};
    std::atomic<int64_t> m_Mixed{0};
    std::atomic<int64_t> m_Underruns{0};
    std::atomic<float> m_Gain{1.0f};
    std::atomic<bool> m_Pulled{false};
    std::unique_ptr<std::atomic<float>[]> m_History;
    std::atomic<CFrameRing*> m_Capture{nullptr};
    std::unique_ptr<CFrameRing> m_CaptureRing; // main thread owns
    struct CBlockLog;
    std::atomic<CBlockLog*> m_BlockLog{nullptr};
    std::unique_ptr<CBlockLog> m_BlockLogOwned; // main thread owns

    // The last block handed to the output (sequence-counted like CVoiceClock).
    std::atomic<uint32_t> m_ClockSeq{0};
    std::atomic<int64_t> m_ClockFrame{0};
    std::atomic<int64_t> m_ClockNanos{0};
    std::atomic<int32_t> m_ClockLatency{0};
    std::atomic<int32_t> m_ClockBlock{0};
    std::atomic<double> m_ClockRate{OutputRate};
    std::atomic<bool> m_ClockValid{false};

    // Output thread only.
    std::vector<float> m_Accum;
    std::vector<float> m_Scratch;
};

int64_t SoundNowNanos();
