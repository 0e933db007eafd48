#pragma once
// Inside platform/ only: sample-rate conversion of stereo float frames to the
// output rate with a windowed-sinc filter. Output frame n lies exactly at
// input position n × source / target (integer arithmetic, no drift), so
// positions map both ways without rounding creep. Decoder thread only.
#include <cstdint>
#include <vector>

class CResampler
{
public:
    void Setup(int sourceRate, int targetRate);
    // A new run: no history, output count back to 0.
    void Reset();
    bool IsPassThrough() const { return m_Source == m_Target; }

    // Input frames still needed before `frames` more output frames can come.
    int InputWanted(int frames) const;
    void Push(const float* stereo, int frames);
    // No more input: the tail is produced against silence.
    void MarkEnd() { m_Ended = true; }
    // Up to maxFrames output frames; fewer when input is short.
    int Pull(float* stereo, int maxFrames);
    // Ended and every output frame delivered.
    bool IsFinished() const;

private:
    static constexpr int s_HalfTaps = 24;
    static constexpr int s_Phases = 256;

    float Tap(int64_t index, int channel) const;

    int m_Source = 44100;
    int m_Target = 44100;
    std::vector<float> m_Kernel; // (s_Phases + 1) rows of 2 × s_HalfTaps
    std::vector<float> m_Input;  // stereo frames from absolute index m_InputStart
    int64_t m_InputStart = 0;
    int64_t m_InputCount = 0;    // frames pushed in this run
    int64_t m_Output = 0;        // frames produced in this run
    bool m_Ended = false;
};
