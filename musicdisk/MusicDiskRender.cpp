// The music disk's drawing: the mesh, then the skin with track number, time
// and pause icon, the equaliser, the volume strip, the description line and
// the cursor, each over the one before.
#include <algorithm>
#include <cmath>

#include "frame/Input.h"
#include "frame/Timer.h"
#include "content/ResourceIds.h"
#include "content/ResourceManager.h"
#include "musicdisk/Font.h"
#include "musicdisk/MusicDisk.h"
#include "musicdisk/Player.h"
#include "musicdisk/SkinWords.h"
#include "render/Draw2D.h"
#include "render/DrawTiles.h"
#include "render/RenderDevice.h"
#include "visualiser/IsoSurface.h"

float g_PauseIconAlpha = 0.0f;

namespace {


constexpr int SpectrumBins = 512;
constexpr uint32_t White = 0xFFFFFFFF;

// A texture at its own size; a missing one is skipped.
void DrawImage(uint32_t id, float x, float y, uint32_t color)
{
    const CTexture* texture = GetTexture(id);
    if (!texture)
        return;
    DrawTexturedRect(x, y, static_cast<float>(texture->m_Width), static_cast<float>(texture->m_Height), texture,
                     color, color, color, color);
}

uint32_t AlphaByte(float alpha)
{
    return static_cast<uint32_t>(static_cast<int>(alpha * 255.0f)) << 24;
}

}  // namespace

CFixedString FormatRemainingTime(uint32_t positionMs, uint32_t lengthMs)
{
    const int64_t lengthSeconds = lengthMs / 1000;
    const int64_t positionSeconds = positionMs / 1000;
    float r = static_cast<float>(lengthSeconds - positionSeconds);
    // A module has no known length (0): its time would count down into
    // negative numbers, and the font has no minus sign, so it shows the
    // elapsed time counting up instead. A stream that reports a position past
    // its end stops at 00:00.
    if (lengthMs == 0)
        r = static_cast<float>(positionSeconds);
    else if (r < 0.0f)
        r = 0.0f;
    const int seconds = static_cast<int>(std::fmod(r, 60.0f));
    const int minutes = static_cast<int>(r / 60.0f);
    return CFixedString::Format("%.2d:%.2d", minutes, seconds);
}

void ComputeEqualiserHeights(const float* spectrum, bool paused, int heights[EqualiserBarCount])
{
    float values[EqualiserBarCount] = {};
    float max = 0.0f;
    int bin = 0;
    for (int k = 0; k < EqualiserBarCount; ++k)
    {
        float v = 0.0f;
        for (int i = 0; i < 10; ++i, ++bin)
        {
            // The last bar reaches four bins (512..515) past the spectrum's
            // end; they do not exist and count as silence. The bar still
            // takes its ten steps, so its existing bins weigh as in every
            // other bar, only shifted down four places.
            const float s = bin < SpectrumBins ? spectrum[bin] : 0.0f;
            if (!paused)
                v = v + s * (1.0f - s);
            v = v / 10.0f;
            if (v > max)
                max = v;
        }
        values[k] = v;
        ++bin;  // one bin between bars
    }
    for (int k = 0; k < EqualiserBarCount; ++k)
    {
        const int h = max > 0.0f ? static_cast<int>(values[k] * 160.0f / max) : 0;
        heights[k] = h - h % 3 + 3;
    }
}

void CMusicDisk::Render()
{
    // The skin's opaque parts first, so that the blob is shaded only where
    // it can be seen; then the blob, then the rest of the skin over it.
    const CTexture* overlay = GetTexture(OverlayId);
    const CTexture* interface = GetTexture(InterfaceId);
    DrawLayersInTiles(overlay, interface, 0.0f, 0.0f, ELayerPass::Under);
    if (m_IsoSurface)
        m_IsoSurface->Draw();
    DrawLayersInTiles(overlay, interface, 0.0f, 0.0f, ELayerPass::Over);
    RenderInterface();
    RenderEqualiser();
    RenderVolume();
    RenderTicker();
    if (!g_PlayerOptions.m_HideCursor)
        RenderCursor();
}

void CMusicDisk::RenderInterface()
{
    // The skin itself is drawn around the blob (see Render); an own album's
    // words go on it before anything else does.
    DrawSkinWords();

    // Two digits, 01 to 30 (a zero flag beside the precision would add nothing).
    const int number = m_TrackIndex + 1;
    const float numberWidth = MeasureText(m_Font, 6.0f, "%.2d", number);
    DrawText(m_Font, (g_VirtualWidth - numberWidth) * 0.5f, 332.0f, 0xA0C0C0C0, 6.0f, "%.2d", number);

    const CFixedString time = FormatRemainingTime(CAudio::GetTime(m_Handle), CAudio::GetLength(m_Handle));
    const float timeWidth = MeasureTextFixed(m_Font, 2.0f, 7.0f, "%s", time.c_str());
    DrawTextFixed(m_Font, (g_VirtualWidth - timeWidth) * 0.5f, 378.0f, 0x40C0C0C0, 2.0f, 7.0f, "%s", time.c_str());

    if (m_Paused)
        g_PauseIconAlpha = std::max(g_PauseIconAlpha - 4.0f * g_DeltaTime, 0.0f);
    else
        g_PauseIconAlpha = std::min(g_PauseIconAlpha + 4.0f * g_DeltaTime, 1.0f);
    DrawImage(PauseId, 136.0f, 361.0f, AlphaByte(g_PauseIconAlpha) | 0x00FFFFFF);
}

void CMusicDisk::RenderEqualiser()
{
    const float* spectrum = SpectrumToShow();
    if (!spectrum)
        return;
    int heights[EqualiserBarCount];
    ComputeEqualiserHeights(spectrum, m_Paused, heights);
    // Each bar and its mirror, all in one draw.
    STexturedRect bars[2 * EqualiserBarCount];
    float x = 8.0f;
    for (int k = 0; k < EqualiserBarCount; ++k)
    {
        const float h = static_cast<float>(heights[k]);
        const float y = 592.0f - h;
        // The texture wraps every 3 pixels: two dark rows, one white.
        bars[2 * k] = {x, y, 4.0f, h, 0.0f, 0.0f, 1.0f, h / 3.0f};
        bars[2 * k + 1] = {g_VirtualWidth - x - 5.0f, y, 4.0f, h, 0.0f, 0.0f, 1.0f, h / 3.0f};
        x += 5.0f;
    }
    DrawTexturedRectsUV(GetTexture(EqualiserId), bars, 2 * EqualiserBarCount, White);
}

void CMusicDisk::RenderVolume()
{
    const float w = static_cast<float>(static_cast<int>(m_Volume * 182.0f));
    DrawImage(VolumeEndId, 574.0f + w, 371.0f, White);
    DrawTexturedRect(574.0f, 371.0f, w, 16.0f, GetTexture(VolumeStripId), White, White, White, White);
}

void CMusicDisk::RenderTicker()
{
    // Descriptions hold no '%'; "%s" keeps it so whatever they hold.
    DrawText(m_Font, m_ScrollOffset - 10.0f, 53.0f, AlphaByte(m_TextAlpha) | 0x00808080, 1.0f, "%s", m_Ticker);
}

void CMusicDisk::RenderCursor()
{
    const float mx = static_cast<float>(g_Input.m_MouseX) / g_ScaleX;
    const float my = static_cast<float>(g_Input.m_MouseY) / g_ScaleY;
    DrawRect(mx - 8.0f, my - 8.0f, 16.0f, 16.0f, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000);
    DrawRect(mx - 6.0f, my - 6.0f, 12.0f, 12.0f, White, White, White, White);
}
