#pragma once
// The sound library: output, streams, modules, spectrum and master volume,
// under the FSOUND_/FMUSIC_ names and arguments the program calls.
//
// Output is SDL2 audio at 44100 Hz stereo float; where no device opens (or
// the device is lost) a silent output paced by a clock thread takes over, so
// time, end callbacks and the spectrum behave as with sound. Streams (mp3
// through libmpg123; WAV, FLAC, Ogg through libsndfile) and modules (through
// libopenmpt) are decoded ahead on a worker thread and resampled to 44100 Hz;
// the audio callback only mixes from ring buffers. All file access goes
// through the callbacks given to FSOUND_File_SetCallbacks.
//
// Threads: every function is called from the main thread. End callbacks are
// called from the library's own thread, once the last sample is heard (as
// FMUSIC_IsFinished turns true). Stop, pause and resume ramp the sound over a
// few milliseconds; a stopped stream played again goes on after what the
// device was already given, and a position set within 50 ms of where it
// stopped names that place.
#include <cstdint>

struct FSOUND_STREAM;
struct FMUSIC_MODULE;
struct FSOUND_DSPUNIT;

using FSOUND_OPENCALLBACK = void* (*)(const char* name);
using FSOUND_CLOSECALLBACK = void (*)(void* handle);
using FSOUND_READCALLBACK = int (*)(void* buffer, int size, void* handle);
using FSOUND_SEEKCALLBACK = int (*)(void* handle, int pos, signed char mode);
using FSOUND_TELLCALLBACK = int (*)(void* handle);
using FSOUND_STREAMCALLBACK = signed char (*)(FSOUND_STREAM* stream, void* buffer, int length, void* userData);

constexpr unsigned int FSOUND_LOOP_OFF = 0x1;
constexpr unsigned int FSOUND_LOOP_NORMAL = 0x2;
constexpr unsigned int FSOUND_2D = 0x2000;
constexpr int FSOUND_FREE = -1;

signed char FSOUND_Init(int mixRate, int maxChannels, unsigned int flags);
FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit();
signed char FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, signed char active);
// 512 magnitudes, bin 0 the lowest, each 0..1, of what the listener hears
// now; null while the FFT unit is inactive. Valid until the next call.
float* FSOUND_DSP_GetSpectrum();
// 0..255 on a perceptual curve.
signed char FSOUND_SetSFXMasterVolume(int volume);
void FSOUND_File_SetCallbacks(FSOUND_OPENCALLBACK open, FSOUND_CLOSECALLBACK close, FSOUND_READCALLBACK read,
                              FSOUND_SEEKCALLBACK seek, FSOUND_TELLCALLBACK tell);

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name);
signed char FMUSIC_PlaySong(FMUSIC_MODULE* module);
signed char FMUSIC_SetLooping(FMUSIC_MODULE* module, signed char looping);
signed char FMUSIC_SetPaused(FMUSIC_MODULE* module, signed char pause);
signed char FMUSIC_StopSong(FMUSIC_MODULE* module);
signed char FMUSIC_FreeSong(FMUSIC_MODULE* module);
signed char FMUSIC_IsFinished(FMUSIC_MODULE* module);
int FMUSIC_GetTime(FMUSIC_MODULE* module);
// Not FMOD: FSOUND_Stream_SetTime for a module.
signed char FMUSIC_SetTime(FMUSIC_MODULE* module, int ms);

FSOUND_STREAM* FSOUND_Stream_Open(const char* name, unsigned int mode, int offset, int length);
signed char FSOUND_Stream_SetLoopCount(FSOUND_STREAM* stream, int count);
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userData);
unsigned int FSOUND_Stream_GetPosition(FSOUND_STREAM* stream);
signed char FSOUND_Stream_SetPosition(FSOUND_STREAM* stream, unsigned int position);
// Moves to `ms` from the start: the sound fades out over 256 frames and comes
// back, fading in, from the sample of that time; the reported time is `ms`
// from the call on. Past the end, the stream ends (its end callback comes).
// Stopped or paused, it goes on from there when played.
signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms);
signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream);
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream);
int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream);

// ---- Beyond the calls the program makes ----------------------------------
// What a file says of itself: title, artist and album in the file's own text
// (usually UTF-8, sometimes Latin-1), each cut to 255 bytes, empty where it
// says nothing.
struct FSOUND_TAGS
{
    char title[256];
    char artist[256];
    char album[256];
};
// Opens `name` through the file callbacks as the library would play it (a
// module, else a stream) and reads its tags. False, with empty tags, when the
// library cannot play the file. Needs no FSOUND_Init.
signed char FSOUND_ReadTags(const char* name, FSOUND_TAGS* tags);

// Recording: called before FSOUND_Init, the output becomes pulled: no device
// and no clock thread; nothing is mixed until FSOUND_PullOutput asks, and the
// listener hears exactly what has been pulled so far (time, ends and the
// spectrum follow the pulls, not the wall clock).
void FSOUND_SetPulledOutput(signed char pulled);
// Mixes the next `frames` stereo frames (after the master volume) into
// `stereo`, waiting for the decoder so that no stream runs dry, and returns
// once every stream that ended within them has raised its end callback.
// False when the output is not pulled.
signed char FSOUND_PullOutput(float* stereo, int frames);
// The output frame (counted from FSOUND_Init) just after the last sample of
// the stream or module whose end was raised last; -1 before any. With a
// pulled output, where in the pulls the show's sound ended.
int64_t FSOUND_GetLastEndFrame();

// Gapless: plays `stream` (or `module`: one of the two) from its start on the
// output frame right after the last sample of `afterStream` (or
// `afterModule`), with nothing between. It is decoded ahead and waits until
// then; while the one before is paused it waits on, and if that one is
// stopped or closed first it never starts. Played at once when the one
// before has already ended. False when one of them is not open.
signed char FSOUND_PlayAfter(FSOUND_STREAM* stream, FMUSIC_MODULE* module, FSOUND_STREAM* afterStream,
                             FMUSIC_MODULE* afterModule);

// Closes the library: output, threads, and every stream and module still
// open (their pointers become invalid). FSOUND_Init may follow. Also run at
// process exit.
void FSOUND_Close();
