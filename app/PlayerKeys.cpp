#include "app/PlayerKeys.h"

#include "frame/Input.h"
#include "musicdisk/Player.h"
#include "render/RenderDevice.h"

namespace {

constexpr float VolumeStep = 1.0f / 20.0f;
// J and L move ten seconds back and on, as in the video players most
// listeners know (K, their pause, is Space here): the arrows already belong
// to the animation and the panel, and none of the letters is taken.
constexpr int64_t SeekStepMs = 10000;

}  // namespace

void ReadPlayerKeys()
{
    SPlayerRequests& r = g_PlayerRequests;
    if (g_Input.IsKeyPressed(VK_SPACE) || g_Input.IsKeyPressed(VK_MEDIA_PLAY_PAUSE))
        r.m_Flags |= PlayerPlayPause;
    if (g_Input.IsKeyPressed(VK_PLAY))
        r.m_Flags |= PlayerPlay;
    if (g_Input.IsKeyPressed(VK_MEDIA_STOP))
        r.m_Flags |= PlayerStop;
    if (g_Input.IsKeyPressed(VK_MEDIA_NEXT_TRACK))
        r.m_Flags |= PlayerNext;
    if (g_Input.IsKeyPressed(VK_MEDIA_PREV_TRACK))
        r.m_Flags |= PlayerPrevious;
    if (g_Input.IsKeyPressed(VK_OEM_PLUS) || g_Input.IsKeyPressed(VK_ADD))
        r.m_VolumeStep += VolumeStep;
    if (g_Input.IsKeyPressed(VK_OEM_MINUS) || g_Input.IsKeyPressed(VK_SUBTRACT))
        r.m_VolumeStep -= VolumeStep;
    r.m_VolumeStep += VolumeStep * static_cast<float>(g_Input.m_WheelNotches);
    if (g_Input.IsKeyPressed('J'))
        r.m_SeekByMs -= SeekStepMs;
    if (g_Input.IsKeyPressed('L'))
        r.m_SeekByMs += SeekStepMs;
}
