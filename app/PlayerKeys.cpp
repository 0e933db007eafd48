#include "app/PlayerKeys.h"

#include "frame/Input.h"
#include "musicdisk/Player.h"
#include "render/RenderDevice.h"

namespace {

constexpr float VolumeStep = 1.0f / 20.0f;

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
}
