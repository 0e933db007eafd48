#pragma once
// Inside platform/ only: where the mix goes. SDL2 audio (44100 Hz, stereo,
// float, opened once) when a device opens; otherwise, or once the device is
// lost, a silent output whose clock thread asks the mixer for blocks at the
// same pace, so that time, end callbacks and the spectrum carry on.
// Start, Stop, Poll and DeviceRemoved are main-thread calls.
#include "platform/sound/SoundMixer.h"

#include <condition_variable>
#include <mutex>
#include <thread>

class CSoundOutput
{
public:
    ~CSoundOutput() { Stop(); }

    // Always ends with an output running: the device, or the silent one.
    void Start(CSoundMixer* mixer, bool tryDevice);
    void Stop();
    // Switches to the silent output when the device has gone away.
    void Poll();
    void DeviceRemoved(uint32_t deviceId);
    bool IsSilent() const { return m_Device == 0; }

    // Tests: the device stops taking data as a removed device does.
    void SimulateLoss() { m_Lost.store(true); }
    // Tests: the silent output's pace (1 = real time).
    void SetSilentSpeed(double speed) { m_Speed.store(speed > 0.0 ? speed : 1.0); }

    // The device's callback (SDL's audio thread).
    void DeviceCallback(float* out, int frames);

private:
    void StartSilent();
    void StopSilent();
    void SilentLoop();

    CSoundMixer* m_Mixer = nullptr;
    uint32_t m_Device = 0;
    int m_Latency = 0; // output frames between a block's hand-over and its first frame heard
    bool m_SdlAudio = false;
    std::atomic<bool> m_Lost{false};
    std::atomic<double> m_Speed{1.0};

    std::thread m_Clock;
    std::mutex m_ClockLock;
    std::condition_variable m_ClockWake;
    bool m_ClockStop = false;
};
