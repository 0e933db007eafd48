// Where the window opens and how large: the desktop's scale factor, the
// work area, a remembered place checked against the screens there are, and
// the aspect asked of the window manager.
#include "platform/window/WindowPlace.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double MinScale = 0.5;
constexpr double MaxScale = 8.0;
constexpr double BaseDpi = 96.0;

SWindowPlace s_PlaceToOpen;
bool s_HavePlace = false;

double Accepted(double scale)
{
    return scale >= MinScale && scale <= MaxScale ? scale : 0.0;
}

double Number(const char* text)
{
    if (!text || !*text)
        return 0.0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    return end != text ? Accepted(v) : 0.0;
}

// The X resources as a text of "name:\tvalue" lines, read from our own short
// connection: the window does not exist yet when the size is chosen.
std::string XResources()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0)
        return {};
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    const char* text = XResourceManagerString(display);
    std::string out = text ? text : "";
    XCloseDisplay(display);
    return out;
}

}  // namespace

void FitAspect(int availWidth, int availHeight, int aspectWidth, int aspectHeight, int* width, int* height)
{
    const int64_t aw = std::max(aspectWidth, 1), ah = std::max(aspectHeight, 1);
    int64_t w = std::max(availWidth, 1), h = w * ah / aw;
    if (h > availHeight)
    {
        h = std::max(availHeight, 1);
        w = h * aw / ah;
    }
    *width = static_cast<int>(std::max<int64_t>(w, 1));
    *height = static_cast<int>(std::max<int64_t>(h, 1));
}

double DesktopScaleFrom(const char* gdkScale, const char* qtScale, const char* xResources)
{
    if (const double s = Number(gdkScale))
        return s;
    if (const double s = Number(qtScale))
        return s;
    if (xResources)
    {
        static const char Key[] = "Xft.dpi:";
        for (const char* line = xResources; line && *line;)
        {
            if (std::strncmp(line, Key, sizeof(Key) - 1) == 0)
                if (const double s = Accepted(std::strtod(line + sizeof(Key) - 1, nullptr) / BaseDpi))
                    return s;
            line = std::strchr(line, '\n');
            if (line)
                ++line;
        }
    }
    return 1.0;
}

bool IsPlaceOnScreens(const SWindowPlace& place, const SScreenRect* screens, int count)
{
    if (place.m_Width <= 0 || place.m_Height <= 0)
        return false;
    const int64_t cx = int64_t(place.m_X) + place.m_Width / 2, cy = int64_t(place.m_Y) + place.m_Height / 2;
    for (int i = 0; i < count; ++i)
    {
        const SScreenRect& s = screens[i];
        if (cx >= s.m_X && cx < int64_t(s.m_X) + s.m_Width && cy >= s.m_Y && cy < int64_t(s.m_Y) + s.m_Height &&
            place.m_Width <= s.m_Width && place.m_Height <= s.m_Height)
            return true;
    }
    return false;
}

bool TakePlaceToOpen(SWindowPlace* place)
{
    if (!s_HavePlace)
        return false;
    std::vector<SScreenRect> screens;
    for (int i = 0, n = SDL_GetNumVideoDisplays(); i < n; ++i)
    {
        SDL_Rect r;
        if (SDL_GetDisplayBounds(i, &r) == 0)
            screens.push_back({r.x, r.y, r.w, r.h});
    }
    if (!IsPlaceOnScreens(s_PlaceToOpen, screens.data(), static_cast<int>(screens.size())))
        return false;
    *place = s_PlaceToOpen;
    return true;
}

void KeepPlatformWindowAspect(CPlatformWindow* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !window->m_Window || !SDL_GetWindowWMInfo(window->m_Window, &info) ||
        info.subsystem != SDL_SYSWM_X11)
        return;
    XSizeHints* hints = XAllocSizeHints();
    if (!hints)
        return;
    long supplied = 0;
    XGetWMNormalHints(info.info.x11.display, info.info.x11.window, hints, &supplied);
    hints->flags |= PAspect;
    hints->min_aspect.x = hints->max_aspect.x = window->m_AspectWidth;
    hints->min_aspect.y = hints->max_aspect.y = window->m_AspectHeight;
    XSetWMNormalHints(info.info.x11.display, info.info.x11.window, hints);
    XFree(hints);
    XFlush(info.info.x11.display);
}

// ---------------------------------------------------------------- Win32.h

void SetWindowPlaceToOpen(const SWindowPlace* place)
{
    s_HavePlace = place != nullptr;
    s_PlaceToOpen = place ? *place : SWindowPlace();
}

double GetDesktopScale()
{
    if (!InitPlatformVideo())
        return 1.0;
    const std::string resources = XResources();
    return DesktopScaleFrom(std::getenv("GDK_SCALE"), std::getenv("QT_SCALE_FACTOR"), resources.c_str());
}

BOOL GetWorkAreaSize(int* width, int* height)
{
    SDL_Rect r;
    if (!width || !height || !InitPlatformVideo() || SDL_GetDisplayUsableBounds(0, &r) != 0)
        return FALSE;
    *width = r.w;
    *height = r.h;
    return TRUE;
}
