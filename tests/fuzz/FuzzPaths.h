#pragma once
// The code paths the fuzz targets drive, shared with the regression tests
// (tests/hardening), so a saved crashing input replays exactly what crashed.
// Each returns null when every invariant held, else what broke.
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "audio/Audio.h"
#include "platform/D3DX9.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"

// PNG data decoded to texels, then made into a texture on `device` (a
// recording device: no GL needed).
inline const char* ExercisePngTexture(IDirect3DDevice9* device, const uint8_t* data, size_t size)
{
    uint32_t width = 0, height = 0;
    uint32_t* argb = nullptr;
    const bool decoded = DecodePngArgb(data, size, &width, &height, &argb);
    if (decoded)
    {
        if (!argb || width == 0 || height == 0)
            return "accepted without texels or size";
        // Every texel the decoder claims must be there (ASan checks the reads).
        uint32_t sum = 0;
        for (size_t i = 0, n = size_t(width) * height; i < n; ++i)
            sum += argb[i];
        volatile uint32_t keep = sum;
        (void)keep;
        FreePngArgb(argb);
    }
    else if (argb || width || height)
    {
        return "refused but left texels or a size behind";
    }

    IDirect3DTexture9* texture = nullptr;
    const HRESULT hr = D3DXCreateTextureFromFileInMemory(device, data, size, &texture);
    if (SUCCEEDED(hr) != decoded || (texture != nullptr) != decoded)
        return "texture creation disagrees with the decoder";
    if (!texture)
        return nullptr;
    const char* problem = nullptr;
    D3DSURFACE_DESC desc{};
    auto powerOfTwo = [](UINT v) { return v && !(v & (v - 1)); };
    if (FAILED(texture->GetLevelDesc(0, &desc)) || !powerOfTwo(desc.Width) || !powerOfTwo(desc.Height) ||
        desc.Width < width || desc.Height < height)
        problem = "texture size is not the image's rounded up to powers of two";
    D3DLOCKED_RECT locked{};
    if (!problem && SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0)))
    {
        const auto* last = static_cast<const uint8_t*>(locked.pBits) + size_t(locked.Pitch) * (desc.Height - 1);
        volatile uint32_t texel = reinterpret_cast<const uint32_t*>(last)[desc.Width - 1];
        (void)texel;
        texture->UnlockRect(0);
    }
    texture->Release();
    return problem;
}

// What a sound file did when loaded and played as the player plays a track.
struct SAudioOutcome
{
    bool m_Loaded = false;
    int m_Type = -1;          // 0 song, 1 stream
    uint32_t m_Length = 0;    // ms
    uint32_t m_Time = 0;      // ms, after the run
};

// Loads `path` (module first, then stream), plays it once through the
// output for `runFrames` output frames (or a second of wall time at most),
// reads its time, stops and frees it. The library must be initialised.
inline const char* ExerciseAudioFile(const char* path, int64_t runFrames, SAudioOutcome* outcome)
{
    *outcome = SAudioOutcome{};
    CAudio::CHandle* handle = CAudio::Load(path);
    if (!handle)
        return nullptr;
    outcome->m_Loaded = true;
    outcome->m_Type = handle->GetType();
    if (!handle->GetHandle())
        return "a loaded handle without a library object";
    outcome->m_Length = CAudio::GetLength(handle);
    CAudio::Play(handle, false);
    const int64_t target = FSOUND_Test_MixedFrames() + runFrames;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (FSOUND_Test_MixedFrames() < target && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    outcome->m_Time = CAudio::GetTime(handle);
    volatile bool finished = CAudio::IsFinished(handle);
    (void)finished;
    CAudio::Stop(handle);
    CAudio::Free(handle);
    return nullptr;
}
