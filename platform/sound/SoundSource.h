#pragma once
// Inside platform/ only: decoders. A source yields interleaved stereo float
// frames at its own rate (mono is doubled, more channels keep the first two).
// Opened on the main thread, then used by the decoder thread only (under the
// library lock); never by the audio callback.
#include "platform/sound/SoundFile.h"

#include <cstdint>
#include <memory>
#include <string>

class CSoundSource
{
public:
    virtual ~CSoundSource() = default;
    virtual int Rate() const = 0;
    // Exact length in frames at Rate(), or -1 when unknown (modules).
    virtual int64_t Length() const = 0;
    // Up to `frames` stereo frames into `stereo`; 0 once the end is reached.
    virtual int Read(float* stereo, int frames) = 0;
    // Frame-accurate; false when the decoder could not get there.
    virtual bool Seek(int64_t frame) = 0;
    // Modules only: repeat forever (true) or end after one pass.
    virtual void SetRepeat(bool repeat) {}
    // What the file says of itself, as its decoder reads it (ID3, Vorbis
    // comments, RIFF INFO, module metadata); left empty where it says nothing.
    // The text is the file's own: usually UTF-8, sometimes Latin-1.
    virtual void Tags(std::string* title, std::string* artist, std::string* album) {}
};

// mp3 through libmpg123, WAV/FLAC/Ogg through libsndfile; null when neither
// accepts the file.
std::unique_ptr<CSoundSource> OpenStreamSource(const CSoundFileIO& io, const char* name);
// Tracker modules through libopenmpt, rendered at 44100 Hz; null for anything
// libopenmpt does not load.
std::unique_ptr<CSoundSource> OpenModuleSource(const CSoundFileIO& io, const char* name);
