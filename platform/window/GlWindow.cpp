// The OpenGL seam over SDL: the context lives on the program's one window.
#include "platform/window/GlWindow.h"

#include <SDL.h>

#include "platform/window/PlatformWindow.h"

struct SGlSurface
{
    SDL_Window* m_Window = nullptr;
    SDL_GLContext m_Context = nullptr;
};

namespace {

// The program's window while it is still the one this surface was opened on.
CPlatformWindow* LiveWindow(const SGlSurface* surface)
{
    CPlatformWindow* window = GetPlatformWindow();
    return window && window->m_Window == surface->m_Window ? window : nullptr;
}

}  // namespace

bool GlWindow_Init()
{
    return InitPlatformVideo();
}

SGlSurface* GlWindow_Open(HWND hwnd, int* width, int* height)
{
    CPlatformWindow* window = GetPlatformWindow();
    if (!window || hwnd != window)
        return nullptr;
    SDL_GLContext context = SDL_GL_CreateContext(window->m_Window);
    if (!context)
        return nullptr;
    if (SDL_GL_MakeCurrent(window->m_Window, context) != 0)
    {
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    HoldPlatformSdlWindow(window->m_Window);
    *width = window->m_Width;
    *height = window->m_Height;
    return new SGlSurface{window->m_Window, context};
}

void GlWindow_Close(SGlSurface* surface)
{
    if (!surface)
        return;
    SDL_GL_MakeCurrent(surface->m_Window, nullptr);
    SDL_GL_DeleteContext(surface->m_Context);
    DropPlatformSdlWindow(surface->m_Window);
    delete surface;
}

void GlWindow_MakeCurrent(SGlSurface* surface)
{
    if (SDL_GL_GetCurrentContext() != surface->m_Context)
        SDL_GL_MakeCurrent(surface->m_Window, surface->m_Context);
}

void GlWindow_SetSwapInterval(SGlSurface* surface, int interval)
{
    GlWindow_MakeCurrent(surface);
    SDL_GL_SetSwapInterval(interval);
}

double GlWindow_RefreshPeriod(SGlSurface* surface)
{
    int refresh = 0;
    const int display = SDL_GetWindowDisplayIndex(surface->m_Window);
    SDL_DisplayMode mode;
    if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0)
        refresh = mode.refresh_rate;
    return 1.0 / (refresh > 0 ? refresh : 60);
}

void GlWindow_SetFullScreen(SGlSurface* surface, bool fullScreen)
{
    if (CPlatformWindow* window = LiveWindow(surface))
        SetPlatformWindowFullScreen(window, fullScreen);
}

bool GlWindow_ClientSize(SGlSurface* surface, int* width, int* height)
{
    CPlatformWindow* window = LiveWindow(surface);
    if (!window)
        return false;
    UpdatePlatformWindowView(window);
    *width = window->m_Width;
    *height = window->m_Height;
    return true;
}

bool GlWindow_View(SGlSurface* surface, SGlView* view)
{
    SDL_GL_GetDrawableSize(surface->m_Window, &view->m_DrawableWidth, &view->m_DrawableHeight);
    CPlatformWindow* window = LiveWindow(surface);
    if (!window)
    {
        view->m_X = view->m_Y = 0;
        view->m_Width = view->m_DrawableWidth;
        view->m_Height = view->m_DrawableHeight;
        return false;
    }
    UpdatePlatformWindowView(window);
    view->m_X = window->m_ViewX;
    view->m_Y = window->m_ViewY;
    view->m_Width = window->m_ViewWidth;
    view->m_Height = window->m_ViewHeight;
    return true;
}

void GlWindow_Swap(SGlSurface* surface)
{
    SDL_GL_SwapWindow(surface->m_Window);
}
