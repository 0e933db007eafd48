#pragma once
// The album player screen: track table and controls (Update), and the skin,
// track number, time, equaliser, volume, ticker and cursor (Render).
// Main thread only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/Album.h"
#include "audio/Audio.h"
#include "content/Effect.h"
#include "content/FixedString.h"

class CCamera;
class CIsoSurface;
class CFont;
struct CBall;
struct SPlayerRequests;

class CMusicDisk : public CEffect
{
public:
    CMusicDisk();
    ~CMusicDisk() override;
    CMusicDisk(const CMusicDisk&) = delete;
    CMusicDisk& operator=(const CMusicDisk&) = delete;
    void Update(float dt) override;
    void Render() override;

    CCamera* m_Camera = nullptr;
    CIsoSurface* m_IsoSurface = nullptr;
    CBall* m_Balls[16] = {};
    int32_t m_TrackIndex = 0;
    CAudio::CHandle* m_Handle = nullptr;
    // The track after this one, opened and decoded ahead, heard from the
    // sample after this one's last (null when there is none to follow: the
    // last track, a wrap, a file that will not open).
    CAudio::CHandle* m_NextHandle = nullptr;
    int32_t m_NextIndex = -1;
    CFont* m_Font = nullptr;
    float m_Volume = 0.0f;  // from the options at the start
    bool m_Paused = false;
    float m_TextAlpha = 1.0f;
    bool m_TextChanging = false;
    float m_ScrollOffset = 0.0f;
    const char* m_TextSource = nullptr;
    char m_Ticker[170] = {};
    CFixedString m_TrackFile;  // the name of the last track file opened
    // Where a day that cannot be opened is skipped to: the way the user last
    // moved (-1 after Previous), forward after a track ends by itself.
    int32_t m_Direction = 1;
    int m_AlbumSerial = 0;               // the album this screen plays
    std::vector<std::string> m_Texts;    // ticker texts of an album of the user's own
    bool m_Stopped = false;              // stopped from outside: no track plays or advances
    uint32_t m_Seeks = 0;                // seeks made, for the desktop's signal
    // This frame's spectrum, taken once in the update for the blob and the
    // equaliser alike; null while the sound library has none.
    const float* Spectrum() const { return m_HaveSpectrum ? m_Spectrum : nullptr; }

private:
    void UpdateCamera();
    void UpdateControls(SPlayerRequests* requests);
    void LoadTrack();
    void OpenTrack();
    void QueueNext();
    void DropNext();
    void TakeNext();
    void SayTrack() const;
    void StartAlbum();
    void ApplyRequests(const SPlayerRequests& requests);
    void TakeSpectrum();
    const float* SpectrumToShow();
    void PublishState();
    const char* TrackText(int index) const;
    void UpdateTicker(float dt);
    void RenderInterface();
    void RenderEqualiser();
    void RenderVolume();
    void RenderTicker();
    void RenderCursor();

    const char* m_TextStart = nullptr;  // start of the text being read
    size_t m_TextLength = 0;            // its length
    float m_Spectrum[512] = {};
    bool m_HaveSpectrum = false;
    bool m_SpectrumShown = false;  // drawn since it was taken
};

struct SButtonRect
{
    float x, y, w, h;
};
extern const SButtonRect g_ButtonRects[6];
// Whether the point (in the 800 x 600 space) is on a control of the running
// player: the buttons, QUIT and the volume groove (not the speaker symbol,
// which does nothing).
bool IsPlayerControlAt(float x, float y);
extern float g_PauseIconAlpha;

constexpr int TrackCount = 30;
constexpr int EqualiserBarCount = 47;

// The remaining-time text ("MM:SS") for a track at positionMs of lengthMs.
CFixedString FormatRemainingTime(uint32_t positionMs, uint32_t lengthMs);
// The heights in pixels (3 to 162) of the equaliser's bars for a spectrum of
// 512 values; all 3 while paused.
void ComputeEqualiserHeights(const float* spectrum, bool paused, int heights[EqualiserBarCount]);
