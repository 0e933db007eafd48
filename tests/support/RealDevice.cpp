#include "support/RealDevice.h"

#include <cstdio>

#include "app/App.h"
#include "content/ResourceManager.h"
#include "render/RenderDevice.h"

namespace {

LRESULT TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return WindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace

bool OpenRealDevice()
{
    WNDCLASSEXA wc;
    wc.cbSize = 48;
    wc.lpfnWndProc = TestWindowProc;
    wc.lpszClassName = "Demo";
    RegisterClassExA(&wc);
    g_D3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!g_D3D)
        return false;
    g_Windowed = true;
    g_VSync = false;
    // 800 x 600 whatever the desktop's scale factor, unless a size is asked.
    const float scale = g_StartScale;
    if (g_StartScale == 0.0f && g_StartWidth == 0)
        g_StartScale = 1.0f;
    const bool opened = OpenRenderDevice();
    g_StartScale = scale;
    if (!opened)
    {
        ReleaseRenderDevice();
        return false;
    }
    return true;
}

void CloseRealDevice()
{
    ReleaseResources();
    ReleaseRenderDevice();
    UnregisterClassA("Demo", nullptr);
}

std::vector<uint32_t> ReadBackBuffer()
{
    std::vector<uint32_t> pixels(800 * 600);
    if (!g_Device || !g_Device->ReadPixels(pixels.data(), 800, 600))
        pixels.clear();
    return pixels;
}

void WritePpm(const std::vector<uint32_t>& pixels, const char* path)
{
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return;
    std::fprintf(f, "P6\n800 600\n255\n");
    for (uint32_t c : pixels)
    {
        const unsigned char rgb[3] = {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                      static_cast<unsigned char>(c)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
}
