#include "render/DebugText.h"

#include <cstdarg>
#include <cstdio>

#include "render/RenderDevice.h"

namespace {

char s_DebugText[2048];

}  // namespace

CFontHolder* CreateDebugFont()
{
    CFontHolder* holder = new CFontHolder;
    const int height = static_cast<int>(24.0f * g_ScaleY);
    if (FAILED(D3DXCreateFontA(g_Device, height, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial", &holder->m_Font)) ||
        !holder->m_Font)
    {
        delete holder;
        return nullptr;
    }
    return holder;
}

void DrawDebugText(float x, float y, uint32_t color, const char* format, ...)
{
    // Without a font there is nothing to draw with.
    if (!g_Font || !g_Font->m_Font)
        return;
    RECT rect;
    rect.left = static_cast<int32_t>(x * g_ScaleX);
    rect.top = static_cast<int32_t>(y * g_ScaleY);
    rect.right = static_cast<int32_t>(g_RenderWidth);
    rect.bottom = static_cast<int32_t>(g_RenderHeight);
    va_list args;
    va_start(args, format);
    // Longer texts are cut at 2047 characters.
    int length = std::vsnprintf(s_DebugText, sizeof(s_DebugText), format, args);
    va_end(args);
    if (length < 0)
        return;
    if (length > static_cast<int>(sizeof(s_DebugText)) - 1)
        length = static_cast<int>(sizeof(s_DebugText)) - 1;
    g_Font->m_Font->DrawTextA(nullptr, s_DebugText, length, &rect, 0, color);
}
