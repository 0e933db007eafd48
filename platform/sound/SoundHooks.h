#pragma once
// Test and benchmark hooks of the sound library: never included by the
// program itself. Main thread, like the library's own calls.
#include <cstdint>

#include "platform/FMOD.h"

// SDL's audio-device-removed event, as the window layer would see it: the
// library carries on through its silent output. (It notices a lost device by
// itself from the calls it gets every frame; this makes it immediate.)
void FSOUND_AudioDeviceRemoved(unsigned int deviceId);

// Before FSOUND_Init: use the silent output even where a device would open.
void FSOUND_Test_ForceSilentOutput(bool force);
// The silent output's pace: 1 is real time (the default).
void FSOUND_Test_SetSilentSpeed(double speed);
bool FSOUND_Test_IsSilentOutput();
// The gain the last FSOUND_SetSFXMasterVolume gave the mix (1 before any).
float FSOUND_Test_MasterGain();
// The device stops taking data, as a removed device does.
void FSOUND_Test_SimulateDeviceLoss();
// Keeps up to `frames` stereo frames of the final output (after the master
// volume) for FSOUND_Test_ReadOutput; 0 stops. Frames beyond are dropped.
void FSOUND_Test_CaptureOutput(int frames);
int FSOUND_Test_ReadOutput(float* stereo, int maxFrames);
// From now on, notes each block handed to the output (its first output
// frame, its length, and the steady-clock seconds at which the output asked
// for it), keeping up to `blocks` unread; 0 stops. Cheap on the output's
// thread: no lock, no allocation; a full log drops new blocks.
void FSOUND_Test_LogOutputBlocks(int blocks);
// Takes up to `maxBlocks` of the notes, oldest first; how many were taken.
int FSOUND_Test_ReadOutputBlocks(int64_t* firstFrames, int* lengths, double* seconds, int maxBlocks);
// Output frames mixed so far, and the output frame the listener hears now.
int64_t FSOUND_Test_MixedFrames();
int64_t FSOUND_Test_HeardFrame();
// Mix passes in which a playing stream or module had no frames ready.
int64_t FSOUND_Test_Underruns();
// The last block handed to the output: its first output frame, its length
// and when it was mixed (steady clock seconds). False before the first.
bool FSOUND_Test_OutputClock(int64_t* blockFrame, int* blockFrames, double* mixSeconds);
// The output frame at which the stream's current run was first mixed, or -1.
int64_t FSOUND_Test_StreamStartFrame(FSOUND_STREAM* stream);
// Decodes a whole stream file through the layer's decoders and resampler
// (to 44100 Hz stereo) without playing it; the frames produced, -1 if the
// file is refused. `out` (may be null) receives the frames.
int64_t FSOUND_Test_DecodeFile(const char* name, float* out, int64_t maxFrames);
