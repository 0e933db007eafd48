#include "app/DebugPanel.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/Input.h"
#include "render/Draw2D.h"
#include "render/RenderDevice.h"

std::vector<CDebugVar*> g_DebugVars;
bool g_DebugPanel = false;
int g_DebugSelection = 0;
float g_DisplayStats = 0.0f;

namespace {

char s_DebugText[2048];

void EditSelected(CDebugVar& var)
{
    float value = *var.m_Value;
    float step = var.m_Step;
    if (g_Input.IsKeyDown(VK_SHIFT))
        step *= 2.0f;
    if (var.m_OnPress)
    {
        if (g_Input.IsKeyPressed(VK_LEFT))
            value -= step;
        if (g_Input.IsKeyPressed(VK_RIGHT))
            value += step;
    }
    else
    {
        if (g_Input.IsKeyDown(VK_LEFT))
            value -= step;
        if (g_Input.IsKeyDown(VK_RIGHT))
            value += step;
    }
    // The upper bound first; the lower one wins when the range is empty.
    if (value > var.m_Max)
        value = var.m_Max;
    if (!(var.m_Min < value))
        value = var.m_Min;
    *var.m_Value = value;
}

void DrawPanel()
{
    const float top = g_VirtualHeight - 198.0f - 4.0f;
    DrawRect(4.0f, top, 500.0f, 198.0f, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000);
    DrawRect(8.0f, top + 4.0f, 492.0f, 190.0f, 0xFF408040, 0xFF408040, 0xFF408040, 0xFF408040);
    const int count = static_cast<int>(g_DebugVars.size());
    if (count == 0)
        return;
    for (int r = 0; r < 7; ++r)
    {
        int index = g_DebugSelection - 3 + r;
        while (index < 0)
            index += count;
        while (index >= count)
            index -= count;
        const CDebugVar& var = *g_DebugVars[index];
        const uint32_t color = index == g_DebugSelection ? 0xFFFFFFFF : 0x80FFFFFF;
        const float y = top + 22.0f + 22.0f * static_cast<float>(r);
        DrawDebugText(26.0f, y, color, "%s", var.m_Name);
        DrawDebugText(326.0f, y, color, "%.5f", static_cast<double>(*var.m_Value));
    }
}

}  // namespace

void RegisterDebugVar(const char* name, float* value, float step, float minimum, float maximum, bool onPress)
{
    CDebugVar probe;
    std::strncpy(probe.m_Name, name, 256);
    probe.m_Name[256] = 0;
    for (const CDebugVar* var : g_DebugVars)
        if (std::strcmp(var->m_Name, probe.m_Name) == 0)
            return;
    CDebugVar* var = new CDebugVar(probe);
    var->m_Value = value;
    var->m_Step = step;
    var->m_Min = minimum;
    var->m_Max = maximum;
    var->m_OnPress = onPress;
    g_DebugVars.push_back(var);
}

void ClearDebugVars()
{
    for (CDebugVar* var : g_DebugVars)
        delete var;
    g_DebugVars.clear();
    g_DebugSelection = 0;
}

void UpdateDebugPanel()
{
    if (g_Input.IsKeyPressed(VK_F1))
        g_DebugPanel = !g_DebugPanel;
    if (!g_DebugPanel)
        return;
    const int count = static_cast<int>(g_DebugVars.size());
    if (g_Input.IsKeyPressed(VK_UP))
    {
        --g_DebugSelection;
        if (g_DebugSelection < 0)
            g_DebugSelection = count - 1;
    }
    if (g_Input.IsKeyPressed(VK_DOWN))
    {
        ++g_DebugSelection;
        if (g_DebugSelection == count)
            g_DebugSelection = 0;
    }
    if (count > 0)
    {
        // Keep the selection a valid index whatever happened to the list.
        if (g_DebugSelection < 0 || g_DebugSelection >= count)
            g_DebugSelection = 0;
        EditSelected(*g_DebugVars[g_DebugSelection]);
    }
    // The panel draws after the application's scene has ended: its own scene.
    if (g_Device)
        g_Device->BeginScene();
    DrawPanel();
    if (g_Device)
        g_Device->EndScene();
}

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
