#include "frame/AppState.h"

CApp* g_App = nullptr;
bool g_Quit = false;
uint32_t g_ClearColor = 0;
CCamera* g_Camera = nullptr;
bool g_Drawing = true;

CCamera* GetAppCamera()
{
    return g_App ? g_App->GetCamera() : nullptr;
}

CColor::CColor(float a, float r, float g, float b)
{
    auto channel = [](float v) { return static_cast<uint32_t>(static_cast<int64_t>(v * 255.0f)) & 0xFF; };
    m_Value = (channel(a) << 24) | (channel(r) << 16) | (channel(g) << 8) | channel(b);
}
