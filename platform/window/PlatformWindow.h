#pragma once
// Inside the window room only: the one window, shared by the window calls
// (Win32Sdl.cpp) and the OpenGL seam (GlWindow.cpp).
#include "platform/Win32.h"

struct SDL_Window;

struct CPlatformWindow
{
    SDL_Window* m_Window = nullptr;
    WNDPROC m_WndProc = nullptr;
    int m_Width = 0;    // client space the program draws in (800 x 600)
    int m_Height = 0;
    bool m_FullScreen = false;
    bool m_Visible = false;
    // Where the client space lands in the window's drawable: the whole of it
    // in a window, centred with its aspect kept (black bars) in full screen.
    // Kept current by the window layer; the device presents into it and the
    // window layer maps mouse positions back through it.
    int m_ViewX = 0, m_ViewY = 0, m_ViewWidth = 0, m_ViewHeight = 0;
    // Sized by its edges (WS_THICKFRAME): the client space is then the
    // largest rectangle of this aspect in the drawable, in full screen too.
    bool m_Follows = false;
    int m_AspectWidth = 0, m_AspectHeight = 0;
    // Where the window stood before full screen, to go back to.
    SWindowPlace m_Normal;
};

// The current window, or null.
CPlatformWindow* GetPlatformWindow();
// Recomputes the view rectangle from the drawable size.
void UpdatePlatformWindowView(CPlatformWindow* window);

// Initialises SDL video on first use; false when no video driver works (no
// display). Later calls return the first answer.
bool InitPlatformVideo();
// Desktop full screen on or off for the window (the device switches it on
// when created with Windowed FALSE).
void SetPlatformWindowFullScreen(CPlatformWindow* window, bool fullScreen);
// A GL surface holds its SDL window while its context lives: DestroyWindow
// then only hides a held window, and the last Drop destroys it.
void HoldPlatformSdlWindow(SDL_Window* window);
void DropPlatformSdlWindow(SDL_Window* window);
