// The window procedure: records keys and mouse in g_Input, captures the
// mouse while a button is down, tells the player's controls from the skin
// that moves the window, takes a new size, and quits when the window goes.
#include <string>
#include <vector>

#include "app/App.h"
#include "app/CommandLine.h"
#include "frame/Input.h"
#include "musicdisk/MusicDisk.h"
#include "render/RenderDevice.h"

LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg)
    {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        RequestRenderSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_NCHITTEST:
        // Asked while the event queue is read: it only looks.
        return IsPlayerControlAt(static_cast<int16_t>(LOWORD(lParam)) / g_ScaleX,
                                 static_cast<int16_t>(HIWORD(lParam)) / g_ScaleY)
                   ? HTCLIENT
                   : HTCAPTION;
    case WM_KEYDOWN:
        g_Input.KeyDown(static_cast<int>(wParam & 0xFF));
        break;
    case WM_KEYUP:
        g_Input.m_Keys[wParam & 0xFF] = 0;
        break;
    case WM_MOUSEMOVE:
        g_Input.m_MouseX = static_cast<int16_t>(LOWORD(lParam));
        g_Input.m_MouseY = static_cast<int16_t>(HIWORD(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        g_Input.ButtonDown(BUTTON_LEFT);
        SetCapture(hwnd);
        return 0;
    case WM_LBUTTONUP:
        g_Input.m_Buttons[BUTTON_LEFT] = 0;
        ReleaseCapture();
        return 0;
    case WM_RBUTTONDOWN:
        g_Input.ButtonDown(BUTTON_RIGHT);
        SetCapture(hwnd);
        return 0;
    case WM_RBUTTONUP:
        g_Input.m_Buttons[BUTTON_RIGHT] = 0;
        ReleaseCapture();
        return 0;
    case WM_MBUTTONDOWN:
        g_Input.ButtonDown(BUTTON_MIDDLE);
        SetCapture(hwnd);
        return 0;
    case WM_MOUSEWHEEL:
        g_Input.m_WheelNotches += static_cast<int16_t>(HIWORD(static_cast<LPARAM>(wParam))) / WHEEL_DELTA;
        return 0;
    case WM_DROPFILES:
    {
        const HDROP drop = reinterpret_cast<HDROP>(wParam);
        std::vector<std::string> paths;
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
        for (UINT i = 0; i < count; ++i)
        {
            std::string path(DragQueryFileA(drop, i, nullptr, 0), '\0');
            DragQueryFileA(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
            paths.push_back(std::move(path));
        }
        DragFinish(drop);
        DropAlbum(paths);
        return 0;
    }
    case WM_MBUTTONUP:
        g_Input.m_Buttons[BUTTON_MIDDLE] = 0;
        ReleaseCapture();
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
