#pragma once
// The seam between the window and the OpenGL device: all the device needs of
// the window, in ten calls on an opaque surface, so the device never sees
// the windowing library. Main thread only.
#include "platform/Win32.h"

// A window the device draws into, with its OpenGL 3.3 core context. The
// surface holds the window: destroyed meanwhile, it is only hidden until the
// surface closes.
struct SGlSurface;

// Where the client space lands in the drawable: the whole of it in a window,
// centred with its aspect kept (black bars) in full screen.
struct SGlView
{
    int m_DrawableWidth = 0, m_DrawableHeight = 0;
    int m_X = 0, m_Y = 0, m_Width = 0, m_Height = 0;
};

// Starts video on first use; false when no video driver works (no display).
bool GlWindow_Init();
// Creates the context on the program's window `hwnd` and makes it current;
// `width` and `height` receive the client space. Null when `hwnd` is not the
// window or it has no context of that version.
SGlSurface* GlWindow_Open(HWND hwnd, int* width, int* height);
// Deletes the context and lets go of the window.
void GlWindow_Close(SGlSurface* surface);
void GlWindow_MakeCurrent(SGlSurface* surface);
// 0 presents at once, 1 on the vertical blank (where the driver can).
void GlWindow_SetSwapInterval(SGlSurface* surface, int interval);
// The display's refresh period in seconds (1/60 where it says none).
double GlWindow_RefreshPeriod(SGlSurface* surface);
void GlWindow_SetFullScreen(SGlSurface* surface, bool fullScreen);
// The client space the device draws (it follows the window's size when the
// window is sized by its edges); false once the window was destroyed.
bool GlWindow_ClientSize(SGlSurface* surface, int* width, int* height);
// The drawable and the view in it; false once the window was destroyed.
bool GlWindow_View(SGlSurface* surface, SGlView* view);
void GlWindow_Swap(SGlSurface* surface);
