#include "app/DebugPanel.h"

#include "frame/Input.h"
#include "render/Draw2D.h"
#include "render/RenderDevice.h"

namespace {

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
