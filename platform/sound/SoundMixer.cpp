// The mixer: sums the voices' rings into the output block, keeps a mono
// history of the pre-volume mix for the spectrum, applies the master volume
// and records where every voice's frames went on the output timeline.
#include "platform/sound/SoundMixer.h"

#include <algorithm>
#include <cstring>
#include <thread>

int64_t SoundNowNanos()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---------------------------------------------------------------- frame ring

void CFrameRing::Allocate(int frames)
{
    m_Data.assign(static_cast<size_t>(frames) * 2, 0.0f);
    m_Mask = static_cast<uint64_t>(frames) - 1;
    Clear();
}

void CFrameRing::Clear()
{
    m_Write.store(0, std::memory_order_relaxed);
    m_Read.store(0, std::memory_order_relaxed);
}

int CFrameRing::Available() const
{
    return static_cast<int>(m_Write.load(std::memory_order_acquire) - m_Read.load(std::memory_order_relaxed));
}

int CFrameRing::Free() const
{
    return Capacity() -
           static_cast<int>(m_Write.load(std::memory_order_relaxed) - m_Read.load(std::memory_order_acquire));
}

int CFrameRing::Write(const float* stereo, int frames)
{
    uint64_t write = m_Write.load(std::memory_order_relaxed);
    int room = Capacity() - static_cast<int>(write - m_Read.load(std::memory_order_acquire));
    int n = std::min(frames, room);
    for (int i = 0; i < n; ++i)
    {
        size_t at = static_cast<size_t>((write + i) & m_Mask) * 2;
        m_Data[at] = stereo[i * 2];
        m_Data[at + 1] = stereo[i * 2 + 1];
    }
    m_Write.store(write + n, std::memory_order_release);
    return n;
}

int CFrameRing::Read(float* stereo, int frames)
{
    uint64_t read = m_Read.load(std::memory_order_relaxed);
    int have = static_cast<int>(m_Write.load(std::memory_order_acquire) - read);
    int n = std::min(frames, have);
    for (int i = 0; i < n; ++i)
    {
        size_t at = static_cast<size_t>((read + i) & m_Mask) * 2;
        stereo[i * 2] = m_Data[at];
        stereo[i * 2 + 1] = m_Data[at + 1];
    }
    m_Read.store(read + n, std::memory_order_release);
    return n;
}

// ---------------------------------------------------------------- voice clock

void CVoiceClock::Reset()
{
    m_Count.store(0, std::memory_order_relaxed);
    m_First.store(-1, std::memory_order_relaxed);
    m_Seq.store(0, std::memory_order_release);
}

void CVoiceClock::Record(int64_t outFrame, int64_t voiceFrame, int count)
{
    uint32_t n = m_Count.load(std::memory_order_relaxed);
    if (n > 0)
    {
        int last = static_cast<int>((n - 1) % s_Runs);
        int64_t lastOut = m_Out[last].load(std::memory_order_relaxed);
        int64_t lastVoice = m_Voice[last].load(std::memory_order_relaxed);
        int64_t lastLength = m_Length[last].load(std::memory_order_relaxed);
        bool follows = lastVoice + lastLength == voiceFrame;
        if (follows && lastOut + lastLength == outFrame)
        {
            // Steady playback: one run grows.
            if (count > 0)
            {
                uint32_t seq = m_Seq.load(std::memory_order_relaxed);
                m_Seq.store(seq + 1, std::memory_order_relaxed);
                m_Length[last].store(lastLength + count, std::memory_order_release);
                m_Seq.store(seq + 2, std::memory_order_release);
            }
            return;
        }
        // Still stalled (paused or starved) at the same voice frame.
        if (follows && count == 0 && lastLength == 0)
            return;
    }
    uint32_t seq = m_Seq.load(std::memory_order_relaxed);
    m_Seq.store(seq + 1, std::memory_order_relaxed);
    int at = static_cast<int>(n % s_Runs);
    m_Out[at].store(outFrame, std::memory_order_release);
    m_Voice[at].store(voiceFrame, std::memory_order_release);
    m_Length[at].store(count, std::memory_order_release);
    m_Count.store(n + 1, std::memory_order_release);
    if (n == 0)
        m_First.store(outFrame, std::memory_order_relaxed);
    m_Seq.store(seq + 2, std::memory_order_release);
}

int64_t CVoiceClock::PositionAt(int64_t outFrame) const
{
    for (;;)
    {
        uint32_t before = m_Seq.load(std::memory_order_acquire);
        if (before & 1)
        {
            std::this_thread::yield();
            continue;
        }
        uint32_t n = m_Count.load(std::memory_order_acquire);
        int64_t result = 0;
        if (n > 0)
        {
            uint32_t oldest = n > static_cast<uint32_t>(s_Runs) ? n - s_Runs : 0;
            // The oldest run kept: what came before it was played already.
            int at = static_cast<int>(oldest % s_Runs);
            result = m_Voice[at].load(std::memory_order_acquire);
            for (uint32_t i = n; i-- > oldest;)
            {
                at = static_cast<int>(i % s_Runs);
                int64_t out = m_Out[at].load(std::memory_order_acquire);
                if (out <= outFrame)
                {
                    int64_t length = m_Length[at].load(std::memory_order_acquire);
                    result = m_Voice[at].load(std::memory_order_acquire) + std::min(outFrame - out, length);
                    break;
                }
            }
        }
        if (m_Seq.load(std::memory_order_relaxed) == before)
            return result;
    }
}

// ---------------------------------------------------------------- mixer

// Single writer (the mixer), single reader (the main thread).
struct CSoundMixer::CBlockLog
{
    explicit CBlockLog(int size) : m_Size(size), m_Frame(size), m_Length(size), m_Nanos(size) {}
    const int m_Size;
    std::vector<int64_t> m_Frame;
    std::vector<int> m_Length;
    std::vector<int64_t> m_Nanos;
    std::atomic<uint64_t> m_Write{0};
    std::atomic<uint64_t> m_Read{0};
};

CSoundMixer::~CSoundMixer() = default;

CSoundMixer::CSoundMixer()
    : m_History(new std::atomic<float>[s_History]), m_Accum(s_Chunk * 2), m_Scratch(s_Chunk * 2)
{
    for (int i = 0; i < s_History; ++i)
        m_History[i].store(0.0f, std::memory_order_relaxed);
}

void CSoundMixer::Mix(float* out, int frames, int latency, double framesPerSecond)
{
    // Announce the pass before looking at any slot (see Detach).
    m_Busy.store(true);
    const int64_t start = m_Mixed.load(std::memory_order_relaxed);

    const float gain = m_Gain.load(std::memory_order_relaxed);
    CFrameRing* capture = m_Capture.load(std::memory_order_acquire);
    for (int done = 0; done < frames;)
    {
        const int n = std::min(s_Chunk, frames - done);
        const int64_t at = start + done;
        std::fill(m_Accum.begin(), m_Accum.begin() + n * 2, 0.0f);
        for (auto& slot : m_Slots)
        {
            CVoiceMix* voice = slot.load();
            if (voice)
                MixVoice(voice, at, n, m_Accum.data());
        }
        float* block = out + done * 2;
        for (int i = 0; i < n; ++i)
        {
            float l = m_Accum[i * 2], r = m_Accum[i * 2 + 1];
            // The spectrum follows the music, not the volume control: the
            // history is taken before the master volume, so that turning the
            // volume down does not flatten the visualiser.
            m_History[static_cast<size_t>(at + i) & (s_History - 1)].store((l + r) * 0.5f, std::memory_order_relaxed);
            block[i * 2] = std::clamp(l * gain, -1.0f, 1.0f);
            block[i * 2 + 1] = std::clamp(r * gain, -1.0f, 1.0f);
        }
        if (capture)
            capture->Write(block, n);
        done += n;
    }
    m_Mixed.store(start + frames, std::memory_order_release);
    // The block is handed over when this pass returns: it is stamped now,
    // once it counts as mixed, so that the heard position, which runs on
    // from the stamp, never passes the frames mixed however slow the pass.
    uint32_t seq = m_ClockSeq.load(std::memory_order_relaxed);
    m_ClockSeq.store(seq + 1, std::memory_order_relaxed);
    m_ClockFrame.store(start, std::memory_order_release);
    m_ClockNanos.store(SoundNowNanos(), std::memory_order_release);
    m_ClockLatency.store(latency, std::memory_order_release);
    m_ClockBlock.store(frames, std::memory_order_release);
    m_ClockRate.store(framesPerSecond, std::memory_order_release);
    m_ClockValid.store(true, std::memory_order_release);
    m_ClockSeq.store(seq + 2, std::memory_order_release);
    if (CBlockLog* log = m_BlockLog.load(std::memory_order_acquire))
    {
        const uint64_t w = log->m_Write.load(std::memory_order_relaxed);
        if (w - log->m_Read.load(std::memory_order_acquire) < static_cast<uint64_t>(log->m_Size))
        {
            const size_t i = static_cast<size_t>(w % static_cast<uint64_t>(log->m_Size));
            log->m_Frame[i] = start;
            log->m_Length[i] = frames;
            log->m_Nanos[i] = m_ClockNanos.load(std::memory_order_relaxed);
            log->m_Write.store(w + 1, std::memory_order_release);
        }
    }
    m_Passes.fetch_add(1, std::memory_order_release);
    m_Busy.store(false);
}

void CSoundMixer::MixVoice(CVoiceMix* voice, int64_t outFrame, int frames, float* accum)
{
    // Waiting for the voice before it; or started by its hand-over earlier
    // in this chunk, which mixed the chunk's rest already.
    if (voice->m_Ended.load(std::memory_order_relaxed) || voice->m_Waiting.load(std::memory_order_acquire) ||
        outFrame < voice->m_MixedUntil)
        return;
    voice->m_MixedUntil = outFrame + frames;
    const bool hold = voice->m_Paused.load(std::memory_order_acquire) || voice->m_Held.load(std::memory_order_acquire);
    if (voice->m_WasHeld && !hold)
        voice->m_ResumedAt.store(voice->m_MixPos, std::memory_order_release);
    voice->m_WasHeld = hold;
    // Held before it ever sounded: nothing to ramp down from.
    if (hold && voice->m_MixPos == 0)
        voice->m_FadeStep = 0;
    // Held, the voice takes only the frames its ramp down still needs.
    const int want = hold ? std::min(frames, std::max(voice->m_FadeStep - 1, 0)) : frames;
    voice->m_Quiet.store(want == 0, std::memory_order_release);
    if (want == 0)
    {
        voice->m_FadeStep = 0;
        voice->m_Clock.Record(outFrame, voice->m_MixPos, 0);
        return;
    }
    // Read before the ring: a short read after the decoder finished is the
    // stream's end, before it a starved ring.
    const bool decodeDone = voice->m_DecodeDone.load(std::memory_order_acquire);
    int got = voice->m_Ring.Read(m_Scratch.data(), want);
    if (got < want && !decodeDone)
        m_Underruns.fetch_add(1, std::memory_order_relaxed);
    int step = voice->m_FadeStep;
    for (int i = 0; i < got; ++i)
    {
        step += hold ? -1 : (step < FadeFrames ? 1 : 0);
        // At full gain exactly 1: the samples pass untouched.
        const float gain = static_cast<float>(step) / static_cast<float>(FadeFrames);
        accum[i * 2] += m_Scratch[i * 2] * gain;
        accum[i * 2 + 1] += m_Scratch[i * 2 + 1] * gain;
    }
    voice->m_FadeStep = hold && step <= 1 ? 0 : step;
    // Ramped down to nothing within this pass: said now, not a pass later,
    // so that a seek waiting for it goes on a device block sooner.
    if (hold && voice->m_FadeStep == 0)
        voice->m_Quiet.store(true, std::memory_order_release);
    voice->m_Clock.Record(outFrame, voice->m_MixPos, got);
    voice->m_MixPos += got;
    // Done is set after the last frame was written: seen together with an
    // empty ring, the last frame has just been mixed.
    if (voice->m_DecodeDone.load(std::memory_order_acquire) && voice->m_Ring.Available() == 0)
    {
        voice->m_EndFrame.store(outFrame + got, std::memory_order_relaxed);
        voice->m_Ended.store(true, std::memory_order_release);
        // The next voice takes over on the very next output frame.
        CVoiceMix* next = voice->m_Next.load(std::memory_order_acquire);
        if (next && next->m_Waiting.exchange(false, std::memory_order_acq_rel))
        {
            // Not again in its own slot, later in this chunk.
            next->m_MixedUntil = outFrame + frames;
            if (got < frames)
            {
                next->m_MixedUntil = 0;
                MixVoice(next, outFrame + got, frames - got, accum + got * 2);
            }
        }
    }
}

bool CSoundMixer::Attach(CVoiceMix* voice)
{
    for (auto& slot : m_Slots)
    {
        if (!slot.load(std::memory_order_relaxed))
        {
            slot.store(voice, std::memory_order_release);
            return true;
        }
    }
    return false;
}

void CSoundMixer::Detach(CVoiceMix* voice)
{
    for (auto& slot : m_Slots)
    {
        if (slot.load(std::memory_order_relaxed) == voice)
        {
            slot.store(nullptr);
            WaitForPass();
            return;
        }
    }
}

void CSoundMixer::WaitForPass()
{
    // A pass sets m_Busy before it reads a slot, and these loads come after
    // the slot was cleared (all sequentially consistent): either the pass
    // sees the empty slot, or we see it busy and wait for it to end. An
    // output that has stopped calling is never busy, so this cannot hang.
    uint64_t passes = m_Passes.load(std::memory_order_acquire);
    while (m_Busy.load() && m_Passes.load(std::memory_order_acquire) == passes)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

bool CSoundMixer::OutputClock(int64_t* blockFrame, int* blockFrames, double* mixSeconds) const
{
    for (;;)
    {
        uint32_t before = m_ClockSeq.load(std::memory_order_acquire);
        if (before & 1)
        {
            std::this_thread::yield();
            continue;
        }
        bool valid = m_ClockValid.load(std::memory_order_acquire);
        int64_t frame = m_ClockFrame.load(std::memory_order_acquire);
        int64_t nanos = m_ClockNanos.load(std::memory_order_acquire);
        int block = m_ClockBlock.load(std::memory_order_acquire);
        if (m_ClockSeq.load(std::memory_order_relaxed) != before)
            continue;
        if (blockFrame)
            *blockFrame = frame;
        if (blockFrames)
            *blockFrames = block;
        if (mixSeconds)
            *mixSeconds = static_cast<double>(nanos) * 1e-9;
        return valid;
    }
}

int64_t CSoundMixer::HeardFrame() const
{
    if (m_Pulled.load(std::memory_order_relaxed))
        return m_Mixed.load(std::memory_order_acquire);
    for (;;)
    {
        uint32_t before = m_ClockSeq.load(std::memory_order_acquire);
        if (before & 1)
        {
            std::this_thread::yield();
            continue;
        }
        bool valid = m_ClockValid.load(std::memory_order_acquire);
        int64_t frame = m_ClockFrame.load(std::memory_order_acquire);
        int64_t nanos = m_ClockNanos.load(std::memory_order_acquire);
        int latency = m_ClockLatency.load(std::memory_order_acquire);
        int block = m_ClockBlock.load(std::memory_order_acquire);
        double rate = m_ClockRate.load(std::memory_order_acquire);
        if (m_ClockSeq.load(std::memory_order_relaxed) != before)
            continue;
        if (!valid)
            return 0;
        // The block's first frame reaches the listener `latency` frames after
        // it was mixed; from there the heard position runs with the clock,
        // up to the end of the block (the next block will say more).
        double elapsed = static_cast<double>(SoundNowNanos() - nanos) * 1e-9 * rate;
        int64_t into = static_cast<int64_t>(std::clamp(elapsed, 0.0, static_cast<double>(block)));
        return frame - latency + into;
    }
}

void CSoundMixer::ReadHistory(int64_t end, float* mono, int count) const
{
    int64_t mixed = m_Mixed.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i)
    {
        int64_t frame = end - count + i;
        mono[i] = (frame < 0 || frame >= mixed || frame < mixed - s_History)
                      ? 0.0f
                      : m_History[static_cast<size_t>(frame) & (s_History - 1)].load(std::memory_order_relaxed);
    }
}

void CSoundMixer::SetCapture(int frames)
{
    // Unhook and let the running pass finish before the old ring goes.
    m_Capture.store(nullptr);
    WaitForPass();
    m_CaptureRing.reset();
    if (frames <= 0)
        return;
    int size = 1;
    while (size < frames)
        size <<= 1;
    m_CaptureRing = std::make_unique<CFrameRing>();
    m_CaptureRing->Allocate(size);
    m_Capture.store(m_CaptureRing.get(), std::memory_order_release);
}

int CSoundMixer::ReadCapture(float* stereo, int frames)
{
    return m_CaptureRing ? m_CaptureRing->Read(stereo, frames) : 0;
}

void CSoundMixer::SetBlockLog(int blocks)
{
    m_BlockLog.store(nullptr);
    WaitForPass();
    m_BlockLogOwned.reset();
    if (blocks <= 0)
        return;
    m_BlockLogOwned = std::make_unique<CBlockLog>(blocks);
    m_BlockLog.store(m_BlockLogOwned.get(), std::memory_order_release);
}

int CSoundMixer::ReadBlockLog(int64_t* firstFrames, int* lengths, double* seconds, int count)
{
    CBlockLog* log = m_BlockLogOwned.get();
    if (!log)
        return 0;
    const uint64_t r = log->m_Read.load(std::memory_order_relaxed);
    const uint64_t w = log->m_Write.load(std::memory_order_acquire);
    const int n = static_cast<int>(std::min<uint64_t>(w - r, static_cast<uint64_t>(std::max(count, 0))));
    for (int k = 0; k < n; ++k)
    {
        const size_t i = static_cast<size_t>((r + static_cast<uint64_t>(k)) % static_cast<uint64_t>(log->m_Size));
        firstFrames[k] = log->m_Frame[i];
        lengths[k] = log->m_Length[i];
        seconds[k] = static_cast<double>(log->m_Nanos[i]) * 1e-9;
    }
    log->m_Read.store(r + static_cast<uint64_t>(n), std::memory_order_release);
    return n;
}
