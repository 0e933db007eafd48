// The window, message, clock and message-box calls of Win32.h over SDL2.
//
// Sections: video start-up, window classes, the window, messages (queue,
// SDL event translation, dispatch), capture and cursor, message boxes,
// clock and sleep.
//
// The queue holds posted messages and translated SDL events in arrival order;
// WM_QUIT is a flag handed out when nothing else is waiting, as on Windows.
// Posting and reading work without SDL: tests drive the main loop that way.
#include <SDL.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/window/PlatformWindow.h"
#include "platform/window/WindowPlace.h"
#include "platform/window/WaylandLog.h"

struct SDropList
{
    std::vector<std::string> m_Paths;
};

namespace {

// ---------------------------------------------------------------- video start-up

int s_VideoState = 0;  // 0 not tried, 1 up, -1 failed

// ---------------------------------------------------------------- classes

struct SWindowClass
{
    std::string m_Name;
    WNDPROC m_WndProc = nullptr;
    HINSTANCE m_Instance = nullptr;
};
std::vector<SWindowClass> s_Classes;

SWindowClass* FindClass(const char* name)
{
    if (!name)
        return nullptr;
    for (SWindowClass& c : s_Classes)
        if (c.m_Name == name)
            return &c;
    return nullptr;
}

// ---------------------------------------------------------------- the window

CPlatformWindow s_Window;
bool s_WindowExists = false;

struct SHeldWindow
{
    SDL_Window* m_Window;
    int m_Holds;
    bool m_Destroyed;
};
std::vector<SHeldWindow> s_Held;

SHeldWindow* FindHeld(SDL_Window* window)
{
    for (SHeldWindow& h : s_Held)
        if (h.m_Window == window)
            return &h;
    return nullptr;
}

// ---------------------------------------------------------------- messages

std::deque<MSG> s_Queue;
// Paths of the drop in progress (between SDL's drop begin and complete).
SDropList* s_Dropping = nullptr;
bool s_QuitPosted = false;
int s_QuitCode = 0;
int s_CursorCount = 0;
HWND s_Captured = nullptr;

PerformanceCounterFn s_CounterFn = nullptr;

// Written by the signal handler, read by the main thread.
volatile sig_atomic_t s_QuitSignal = 0;
volatile sig_atomic_t s_InModalBox = 0;

// Async-signal-safe: the children of the main thread (SDL's forked message
// box) from /proc, killed so that no box outlives the program.
void KillChildren()
{
    char path[64] = "/proc/self/task/";
    char number[24];
    int n = 0;
    for (long pid = getpid(); pid > 0; pid /= 10)
        number[n++] = static_cast<char>('0' + pid % 10);
    size_t at = std::strlen(path);
    while (n > 0)
        path[at++] = number[--n];
    std::memcpy(path + at, "/children", 10);
    const int fd = open(path, O_RDONLY);
    if (fd < 0)
        return;
    char buffer[256];
    const ssize_t got = read(fd, buffer, sizeof(buffer) - 1);
    close(fd);
    long child = 0;
    for (ssize_t i = 0; i <= got && got > 0; ++i)
    {
        if (i < got && buffer[i] >= '0' && buffer[i] <= '9')
            child = child * 10 + (buffer[i] - '0');
        else if (child > 0)
        {
            kill(static_cast<pid_t>(child), SIGKILL);
            child = 0;
        }
    }
}

void OnQuitSignal(int)
{
    if (s_InModalBox)
    {
        // A modal box blocks the loop that would hear the request: nothing
        // has started yet that needs closing, so the program just ends.
        KillChildren();
        _exit(0);
    }
    s_QuitSignal = 1;
}
LONGLONG s_CounterFrequency = 0;

// Where a message goes: its window's procedure; a message posted to no
// window goes to the window there is or, with none (no display), to the
// procedure of the class registered last, so that the program's loop runs
// the same way headless.
WNDPROC TargetProcedure(HWND hwnd)
{
    if (hwnd)
        return hwnd == &s_Window && s_WindowExists ? s_Window.m_WndProc : nullptr;
    if (s_WindowExists)
        return s_Window.m_WndProc;
    return s_Classes.empty() ? nullptr : s_Classes.back().m_WndProc;
}

bool Matches(const MSG& m, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (hwnd && m.hwnd != hwnd)
        return false;
    if (filterMin == 0 && filterMax == 0)
        return true;
    return m.message >= filterMin && m.message <= filterMax;
}

// SDL keycode to Windows virtual key, 0 for keys the system has no code for.
int VirtualKey(const SDL_Keysym& key)
{
    const SDL_Keycode k = key.sym;
    if (k >= 'a' && k <= 'z')
        return static_cast<int>(k - 'a' + 'A');
    if (k >= '0' && k <= '9')
        return static_cast<int>(k);
    // Layouts without Latin letters: fall back on the key's position.
    if (key.scancode >= SDL_SCANCODE_A && key.scancode <= SDL_SCANCODE_Z && (k & SDLK_SCANCODE_MASK) == 0 && k > 127)
        return 'A' + (key.scancode - SDL_SCANCODE_A);
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return VK_F1 + static_cast<int>(k - SDLK_F1);
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9)
        return 0x61 + static_cast<int>(k - SDLK_KP_1);
    switch (k)
    {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return 0x2E;
    case SDLK_KP_0: return 0x60;
    case SDLK_PAUSE: return 0x13;
    case SDLK_CAPSLOCK: return 0x14;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_EQUALS: case SDLK_PLUS: return VK_OEM_PLUS;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_AUDIONEXT: return VK_MEDIA_NEXT_TRACK;
    case SDLK_AUDIOPREV: return VK_MEDIA_PREV_TRACK;
    case SDLK_AUDIOSTOP: return VK_MEDIA_STOP;
    case SDLK_AUDIOPLAY: return VK_MEDIA_PLAY_PAUSE;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_COMMA: return 0xBC;
    case SDLK_PERIOD: return 0xBE;
    default: return 0;
    }
}

// Window pixel to client space through the view rectangle (identity in a
// window, the scaled and centred frame in full screen).
void ClientPosition(int x, int y, int* cx, int* cy)
{
    const CPlatformWindow& w = s_Window;
    if (w.m_ViewWidth <= 0 || w.m_ViewHeight <= 0 || (w.m_ViewWidth == w.m_Width && w.m_ViewHeight == w.m_Height))
    {
        *cx = x - w.m_ViewX;
        *cy = y - w.m_ViewY;
        return;
    }
    // Window coordinates may differ from drawable pixels (high density).
    int ww = 0, wh = 0, dw = 0, dh = 0;
    SDL_GetWindowSize(w.m_Window, &ww, &wh);
    SDL_GL_GetDrawableSize(w.m_Window, &dw, &dh);
    const double sx = ww > 0 && dw > 0 ? double(dw) / ww : 1.0;
    const double sy = wh > 0 && dh > 0 ? double(dh) / wh : 1.0;
    const double px = x * sx - w.m_ViewX;
    const double py = y * sy - w.m_ViewY;
    *cx = static_cast<int>(std::floor(px * w.m_Width / w.m_ViewWidth));
    *cy = static_cast<int>(std::floor(py * w.m_Height / w.m_ViewHeight));
}

// A press on the window: a control of the program's (its procedure says
// HTCLIENT) is the program's; elsewhere a band along the edges sizes the
// window and the rest moves it, both through the window manager.
SDL_HitTestResult HitTest(SDL_Window* window, const SDL_Point* point, void*)
{
    constexpr int Edge = 6, Corner = 16;
    if (!s_WindowExists || window != s_Window.m_Window || s_Window.m_FullScreen || !s_Window.m_WndProc)
        return SDL_HITTEST_NORMAL;
    int cx = 0, cy = 0;
    ClientPosition(point->x, point->y, &cx, &cy);
    if (cx >= 0 && cy >= 0 && cx < s_Window.m_Width && cy < s_Window.m_Height &&
        s_Window.m_WndProc(&s_Window, WM_NCHITTEST, 0, MAKELPARAM(cx, cy)) == HTCLIENT)
        return SDL_HITTEST_NORMAL;
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    const int x = point->x, y = point->y;
    const bool left = x < Edge, right = x >= w - Edge, top = y < Edge, bottom = y >= h - Edge;
    const bool nearLeft = x < Corner, nearRight = x >= w - Corner, nearTop = y < Corner, nearBottom = y >= h - Corner;
    if ((left && nearTop) || (top && nearLeft))
        return SDL_HITTEST_RESIZE_TOPLEFT;
    if ((right && nearTop) || (top && nearRight))
        return SDL_HITTEST_RESIZE_TOPRIGHT;
    if ((left && nearBottom) || (bottom && nearLeft))
        return SDL_HITTEST_RESIZE_BOTTOMLEFT;
    if ((right && nearBottom) || (bottom && nearRight))
        return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
    if (left)
        return SDL_HITTEST_RESIZE_LEFT;
    if (right)
        return SDL_HITTEST_RESIZE_RIGHT;
    if (top)
        return SDL_HITTEST_RESIZE_TOP;
    if (bottom)
        return SDL_HITTEST_RESIZE_BOTTOM;
    return SDL_HITTEST_DRAGGABLE;
}

WPARAM MouseKeyState()
{
    const uint32_t b = SDL_GetMouseState(nullptr, nullptr);
    WPARAM w = 0;
    if (b & SDL_BUTTON(SDL_BUTTON_LEFT)) w |= 0x0001;
    if (b & SDL_BUTTON(SDL_BUTTON_RIGHT)) w |= 0x0002;
    if (b & SDL_BUTTON(SDL_BUTTON_MIDDLE)) w |= 0x0010;
    const SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT) w |= 0x0004;
    if (mod & KMOD_CTRL) w |= 0x0008;
    return w;
}

bool IsOurWindow(uint32_t windowId)
{
    // Without a window manager nothing gives the window SDL's keyboard
    // focus, and its key events then carry no window: with one window,
    // those are ours too.
    return s_WindowExists && s_Window.m_Window && (windowId == 0 || SDL_GetWindowID(s_Window.m_Window) == windowId);
}

void Push(UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG m;
    m.hwnd = &s_Window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    s_Queue.push_back(m);
}

void TranslateEvent(const SDL_Event& e)
{
    switch (e.type)
    {
    case SDL_DROPBEGIN:
        delete s_Dropping;
        s_Dropping = new SDropList;
        break;
    case SDL_DROPFILE:
    {
        // A file without a begin (older SDL, some desktops) is a drop of its own.
        const bool alone = s_Dropping == nullptr;
        if (alone)
            s_Dropping = new SDropList;
        if (e.drop.file)
            s_Dropping->m_Paths.emplace_back(e.drop.file);
        SDL_free(e.drop.file);
        if (!alone)
            break;
    }
        [[fallthrough]];
    case SDL_DROPCOMPLETE:
        if (s_Dropping && !s_Dropping->m_Paths.empty() && s_WindowExists)
            Push(WM_DROPFILES, reinterpret_cast<WPARAM>(s_Dropping), 0);
        else
            delete s_Dropping;
        s_Dropping = nullptr;
        break;
    case SDL_QUIT:
        if (s_WindowExists)
            Push(WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        if (!IsOurWindow(e.window.windowID))
            break;
        if (e.window.event == SDL_WINDOWEVENT_CLOSE)
            Push(WM_CLOSE, 0, 0);
        else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e.window.event == SDL_WINDOWEVENT_RESIZED)
            UpdatePlatformWindowView(&s_Window);
        break;
    case SDL_MOUSEWHEEL:
    {
        if (!IsOurWindow(e.wheel.windowID) || e.wheel.y == 0)
            break;
        int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        notches = std::clamp(notches, -200, 200);
        int x = 0, y = 0;
        SDL_GetMouseState(&x, &y);
        ClientPosition(x, y, &x, &y);
        const auto delta = static_cast<uint16_t>(static_cast<int16_t>(notches * WHEEL_DELTA));
        Push(WM_MOUSEWHEEL, (static_cast<WPARAM>(delta) << 16) | MouseKeyState(), MAKELPARAM(x, y));
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    {
        if (!IsOurWindow(e.key.windowID))
            break;
        const int vk = VirtualKey(e.key.keysym);
        if (vk == 0)
            break;
        const bool down = e.type == SDL_KEYDOWN;
        const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
        // lParam as Windows builds it: repeat count, scan code, previous
        // state (bit 30), transition (bit 31).
        uint32_t lp = 1u | (static_cast<uint32_t>(e.key.keysym.scancode & 0xFF) << 16);
        if (alt)
            lp |= 1u << 29;
        if (!down || e.key.repeat)
            lp |= 1u << 30;
        if (!down)
            lp |= 1u << 31;
        const UINT msg = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
        Push(msg, static_cast<WPARAM>(vk), static_cast<LPARAM>(static_cast<int32_t>(lp)));
        break;
    }
    case SDL_MOUSEMOTION:
    {
        if (!IsOurWindow(e.motion.windowID))
            break;
        int x = 0, y = 0;
        ClientPosition(e.motion.x, e.motion.y, &x, &y);
        Push(WM_MOUSEMOVE, MouseKeyState(), MAKELPARAM(x, y));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    {
        if (!IsOurWindow(e.button.windowID))
            break;
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        UINT msg = 0;
        switch (e.button.button)
        {
        case SDL_BUTTON_LEFT: msg = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
        case SDL_BUTTON_RIGHT: msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
        case SDL_BUTTON_MIDDLE: msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
        default: return;
        }
        int x = 0, y = 0;
        ClientPosition(e.button.x, e.button.y, &x, &y);
        Push(msg, MouseKeyState(), MAKELPARAM(x, y));
        break;
    }
    default:
        break;
    }
}

void PumpEvents()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return;
    SDL_Event e;
    while (SDL_PollEvent(&e))
        TranslateEvent(e);
}

std::string Utf8FromWide(const wchar_t* text)
{
    std::string out;
    if (!text)
        return out;
    for (; *text; ++text)
    {
        uint32_t c = static_cast<uint32_t>(*text);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
        {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------- platform-internal

bool InitPlatformVideo()
{
    if (s_VideoState != 0)
        return s_VideoState > 0;
    // Without a display SDL falls back on drivers that show nothing; the
    // program would then run unseen. Those are for who asks for them. An X
    // server that is there now and then refuses a connection for a moment
    // (a busy Xvfb does): a few quick tries tell that from no display at all.
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    QuietWayland();
    for (int attempt = 0; attempt < 5 && s_VideoState <= 0; ++attempt)
    {
        if (attempt > 0)
            SDL_Delay(50);
        s_VideoState = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 ? 1 : -1;
        const char* driver = s_VideoState > 0 ? SDL_GetCurrentVideoDriver() : nullptr;
        const bool unseen = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
        if (unseen && !(asked && std::strstr(asked, driver)))
        {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            s_VideoState = -1;
        }
    }
    const std::string wayland = TakeWaylandSaid();
    if (s_VideoState < 0 && !wayland.empty())
        std::fprintf(stderr, "ORBA: window: no Wayland display to reach (%s)\n", wayland.c_str());
    return s_VideoState > 0;
}

CPlatformWindow* GetPlatformWindow()
{
    return s_WindowExists ? &s_Window : nullptr;
}

void UpdatePlatformWindowView(CPlatformWindow* window)
{
    if (!window || !window->m_Window)
        return;
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window->m_Window, &dw, &dh);
    if (dw <= 0 || dh <= 0 || window->m_Width <= 0 || window->m_Height <= 0)
    {
        window->m_ViewX = window->m_ViewY = 0;
        window->m_ViewWidth = window->m_Width;
        window->m_ViewHeight = window->m_Height;
        return;
    }
    if (window->m_Follows)
    {
        // The client space follows the pixels there are, its aspect kept.
        int w = 0, h = 0;
        FitAspect(dw, dh, window->m_AspectWidth, window->m_AspectHeight, &w, &h);
        window->m_ViewX = (dw - w) / 2;
        window->m_ViewY = (dh - h) / 2;
        window->m_ViewWidth = w;
        window->m_ViewHeight = h;
        if (w != window->m_Width || h != window->m_Height)
        {
            window->m_Width = w;
            window->m_Height = h;
            if (window == &s_Window && s_WindowExists)
                Push(WM_SIZE, 0, MAKELPARAM(w, h));
        }
        return;
    }
    if (!window->m_FullScreen)
    {
        window->m_ViewX = window->m_ViewY = 0;
        window->m_ViewWidth = dw;
        window->m_ViewHeight = dh;
        return;
    }
    // Largest rectangle of the client's aspect that fits, centred.
    const int64_t w = window->m_Width, h = window->m_Height;
    int vw = dw, vh = static_cast<int>(int64_t(dw) * h / w);
    if (vh > dh)
    {
        vh = dh;
        vw = static_cast<int>(int64_t(dh) * w / h);
    }
    window->m_ViewX = (dw - vw) / 2;
    window->m_ViewY = (dh - vh) / 2;
    window->m_ViewWidth = vw;
    window->m_ViewHeight = vh;
}

void SetPlatformWindowFullScreen(CPlatformWindow* window, bool fullScreen)
{
    if (!window || !window->m_Window)
        return;
    // Cover the display first: a desktop without a window manager (bare
    // Xvfb) grants the full-screen flag but leaves the window as it was.
    const int display = std::max(SDL_GetWindowDisplayIndex(window->m_Window), 0);
    SDL_Rect bounds;
    if (fullScreen && !window->m_FullScreen)
    {
        SWindowPlace& n = window->m_Normal;
        SDL_GetWindowPosition(window->m_Window, &n.m_X, &n.m_Y);
        SDL_GetWindowSize(window->m_Window, &n.m_Width, &n.m_Height);
    }
    if (fullScreen && SDL_GetDisplayBounds(display, &bounds) == 0)
    {
        SDL_SetWindowPosition(window->m_Window, bounds.x, bounds.y);
        SDL_SetWindowSize(window->m_Window, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(window->m_Window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (!fullScreen && window->m_Follows && window->m_Normal.m_Width > 0)
    {
        // Back where it stood.
        const SWindowPlace& n = window->m_Normal;
        SDL_SetWindowSize(window->m_Window, n.m_Width, n.m_Height);
        SDL_SetWindowPosition(window->m_Window, n.m_X, n.m_Y);
    }
    else if (!fullScreen)
    {
        // Back to the program's own size, in the middle of its display.
        SDL_SetWindowSize(window->m_Window, window->m_Width, window->m_Height);
        SDL_SetWindowPosition(window->m_Window, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                              SDL_WINDOWPOS_CENTERED_DISPLAY(display));
    }
    window->m_FullScreen = fullScreen;
    UpdatePlatformWindowView(window);
}

void HoldPlatformSdlWindow(SDL_Window* window)
{
    if (!window)
        return;
    if (SHeldWindow* h = FindHeld(window))
        ++h->m_Holds;
    else
        s_Held.push_back({window, 1, false});
}

void DropPlatformSdlWindow(SDL_Window* window)
{
    SHeldWindow* h = FindHeld(window);
    if (!h || --h->m_Holds > 0)
        return;
    const bool destroy = h->m_Destroyed;
    s_Held.erase(s_Held.begin() + (h - s_Held.data()));
    if (destroy)
        SDL_DestroyWindow(window);
}

// ---------------------------------------------------------------- classes

HINSTANCE GetModuleHandleA(const char* name)
{
    // Any non-null value: the one module is the program.
    static int s_Module;
    return name ? nullptr : &s_Module;
}

BOOL RegisterClassExA(const WNDCLASSEXA* wc)
{
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || FindClass(wc->lpszClassName))
        return FALSE;
    s_Classes.push_back({wc->lpszClassName, wc->lpfnWndProc, wc->hInstance});
    return TRUE;
}

BOOL UnregisterClassA(const char* className, HINSTANCE instance)
{
    SWindowClass* c = FindClass(className);
    if (!c)
        return FALSE;
    s_Classes.erase(s_Classes.begin() + (c - s_Classes.data()));
    return TRUE;
}

// ---------------------------------------------------------------- the window

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, void* menu, HINSTANCE instance, void* param)
{
    const SWindowClass* c = FindClass(className);
    if (!c || s_WindowExists || width <= 0 || height <= 0)
        return nullptr;
    if (!InitPlatformVideo())
        return nullptr;

    // The context's needs are fixed when the window picks its pixel format.
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);

    uint32_t flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_POPUP)
        flags |= SDL_WINDOW_BORDERLESS;
    const bool follows = (style & WS_THICKFRAME) != 0;
    const int aspectWidth = width, aspectHeight = height;
    if (follows)
    {
        flags |= SDL_WINDOW_RESIZABLE;
        SWindowPlace place;
        if (TakePlaceToOpen(&place))
        {
            FitAspect(place.m_Width, place.m_Height, aspectWidth, aspectHeight, &width, &height);
            x = place.m_X;
            y = place.m_Y;
        }
    }
    SDL_Window* window = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
    if (!window)
        return nullptr;

    s_Window = CPlatformWindow();
    s_Window.m_Window = window;
    s_Window.m_WndProc = c->m_WndProc;
    s_Window.m_Width = width;
    s_Window.m_Height = height;
    s_Window.m_Follows = follows;
    s_Window.m_AspectWidth = aspectWidth;
    s_Window.m_AspectHeight = aspectHeight;
    UpdatePlatformWindowView(&s_Window);
    s_WindowExists = true;
    if (follows)
    {
        KeepPlatformWindowAspect(&s_Window);
        SDL_SetWindowHitTest(window, HitTest, nullptr);
    }
    return &s_Window;
}

BOOL DestroyWindow(HWND hwnd)
{
    if (!hwnd || hwnd != &s_Window || !s_WindowExists)
        return FALSE;
    // The window procedure hears of it while the window still exists.
    if (s_Window.m_WndProc)
        s_Window.m_WndProc(hwnd, WM_DESTROY, 0, 0);
    s_Queue.erase(std::remove_if(s_Queue.begin(), s_Queue.end(),
                                 [hwnd](const MSG& m) {
                                     if (m.hwnd != hwnd)
                                         return false;
                                     if (m.message == WM_DROPFILES)
                                         DragFinish(reinterpret_cast<HDROP>(m.wParam));
                                     return true;
                                 }),
                  s_Queue.end());
    SDL_Window* window = s_Window.m_Window;
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_MOUSE_CAPTURE)
        SDL_CaptureMouse(SDL_FALSE);
    if (SHeldWindow* h = FindHeld(window))
    {
        SDL_HideWindow(window);
        h->m_Destroyed = true;
    }
    else
        SDL_DestroyWindow(window);
    s_Window = CPlatformWindow();
    s_WindowExists = false;
    s_Captured = nullptr;
    return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    if (!hwnd || hwnd != &s_Window || !s_WindowExists || s_Window.m_FullScreen)
        return FALSE;
    if (!(flags & SWP_NOSIZE) && cx > 0 && cy > 0)
        SDL_SetWindowSize(s_Window.m_Window, cx, cy);
    if (!(flags & SWP_NOMOVE))
        SDL_SetWindowPosition(s_Window.m_Window, x, y);
    UpdatePlatformWindowView(&s_Window);
    return TRUE;
}

BOOL GetWindowPlace(HWND hwnd, SWindowPlace* place)
{
    if (!hwnd || hwnd != &s_Window || !s_WindowExists || !place)
        return FALSE;
    if (s_Window.m_FullScreen && s_Window.m_Normal.m_Width > 0)
        *place = s_Window.m_Normal;
    else
    {
        SDL_GetWindowPosition(s_Window.m_Window, &place->m_X, &place->m_Y);
        SDL_GetWindowSize(s_Window.m_Window, &place->m_Width, &place->m_Height);
    }
    place->m_FullScreen = s_Window.m_FullScreen;
    return TRUE;
}

BOOL ShowWindow(HWND hwnd, int cmd)
{
    if (!hwnd || hwnd != &s_Window || !s_WindowExists)
        return FALSE;
    const BOOL wasVisible = s_Window.m_Visible ? TRUE : FALSE;
    if (cmd == SW_HIDE)
    {
        SDL_HideWindow(s_Window.m_Window);
        s_Window.m_Visible = false;
    }
    else
    {
        SDL_ShowWindow(s_Window.m_Window);
        s_Window.m_Visible = true;
    }
    UpdatePlatformWindowView(&s_Window);
    return wasVisible;
}

BOOL IsIconic(HWND hwnd)
{
    if (!hwnd || hwnd != &s_Window || !s_WindowExists)
        return FALSE;
    PumpEvents();
    return (SDL_GetWindowFlags(s_Window.m_Window) & SDL_WINDOW_MINIMIZED) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd)
{
    if (!hwnd || hwnd != &s_Window || !s_WindowExists || !s_Window.m_Visible)
        return FALSE;
    PumpEvents();
    // SDL keeps these flags from the desktop's map and state events.
    const uint32_t flags = SDL_GetWindowFlags(s_Window.m_Window);
    return (flags & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) ? FALSE : TRUE;
}

BOOL SetWindowIconArgb(HWND hwnd, int width, int height, const uint32_t* argb)
{
    if (!hwnd || hwnd != &s_Window || !s_WindowExists || !argb || width <= 0 || height <= 0)
        return FALSE;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(argb), width, height, 32,
                                                           width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!icon)
        return FALSE;
    SDL_SetWindowIcon(s_Window.m_Window, icon);
    SDL_FreeSurface(icon);
    return TRUE;
}

BOOL IsScreenSaverAllowed()
{
    return SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_IsScreenSaverEnabled() ? TRUE : FALSE;
}

void AllowScreenSaver(BOOL allow)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return;
    if (allow)
        SDL_EnableScreenSaver();
    else
        SDL_DisableScreenSaver();
}

BOOL UpdateWindow(HWND hwnd)
{
    // Nothing is painted through messages: the device draws every frame.
    return hwnd == &s_Window && s_WindowExists ? TRUE : FALSE;
}

BOOL BringWindowToTop(HWND hwnd)
{
    if (!hwnd || hwnd != &s_Window || !s_WindowExists)
        return FALSE;
    SDL_RaiseWindow(s_Window.m_Window);
    return TRUE;
}

int GetSystemMetrics(int index)
{
    if (index != SM_CXSCREEN && index != SM_CYSCREEN)
        return 0;
    if (!InitPlatformVideo())
        return 0;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return 0;
    return index == SM_CXSCREEN ? mode.w : mode.h;
}

int ShowCursor(BOOL show)
{
    s_CursorCount += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(s_CursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return s_CursorCount;
}

// ---------------------------------------------------------------- messages

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg)
{
    if (!msg)
        return FALSE;
    if (s_QuitSignal)
    {
        s_QuitSignal = 0;
        PostQuitMessage(0);
    }
    PumpEvents();
    for (auto it = s_Queue.begin(); it != s_Queue.end(); ++it)
    {
        if (!Matches(*it, hwnd, filterMin, filterMax))
            continue;
        *msg = *it;
        if (removeMsg & PM_REMOVE)
            s_Queue.erase(it);
        return TRUE;
    }
    const bool quitWanted = (filterMin == 0 && filterMax == 0) || (WM_QUIT >= filterMin && WM_QUIT <= filterMax);
    if (s_QuitPosted && quitWanted)
    {
        *msg = MSG();
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(s_QuitCode);
        if (removeMsg & PM_REMOVE)
            s_QuitPosted = false;
        return TRUE;
    }
    return FALSE;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const void* handles, BOOL waitAll, DWORD milliseconds, DWORD wakeMask)
{
    PumpEvents();
    if (!s_Queue.empty() || s_QuitPosted || s_QuitSignal)
        return WAIT_OBJECT_0 + count;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
    {
        // Nothing can arrive but what is posted, and nobody posts while we sleep.
        SDL_Delay(milliseconds);
        return WAIT_TIMEOUT;
    }
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, static_cast<int>(std::min<DWORD>(milliseconds, 0x7FFFFFFF))) == 1)
    {
        TranslateEvent(e);
        PumpEvents();
        if (!s_Queue.empty())
            return WAIT_OBJECT_0 + count;
    }
    return WAIT_TIMEOUT;
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg || msg->message != WM_KEYDOWN)
        return FALSE;
    // Character messages for the keys that type one character.
    const int vk = static_cast<int>(msg->wParam);
    int ch = 0;
    if (vk >= 'A' && vk <= 'Z')
    {
        const bool shift = SDL_WasInit(SDL_INIT_VIDEO) && (SDL_GetModState() & (KMOD_SHIFT | KMOD_CAPS)) != 0;
        ch = shift ? vk : vk - 'A' + 'a';
    }
    else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB ||
             vk == VK_ESCAPE)
        ch = vk;
    if (ch == 0)
        return FALSE;
    MSG m = *msg;
    m.message = WM_CHAR;
    m.wParam = static_cast<WPARAM>(ch);
    s_Queue.push_front(m);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    const WNDPROC proc = TargetProcedure(msg->hwnd);
    return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (hwnd && (hwnd != &s_Window || !s_WindowExists))
        return FALSE;
    if (msg == WM_QUIT && !hwnd)
    {
        s_QuitPosted = true;
        s_QuitCode = static_cast<int>(wParam);
        return TRUE;
    }
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    s_Queue.push_back(m);
    return TRUE;
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Alt+F4 closes, as the system menu would.
    if (msg == WM_SYSKEYDOWN && wParam == 0x73)
    {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    // All of the window is the program's unless its procedure says otherwise.
    if (msg == WM_NCHITTEST)
        return HTCLIENT;
    // A drop nobody took is let go of here, so that it is never leaked.
    if (msg == WM_DROPFILES)
        DragFinish(reinterpret_cast<HDROP>(wParam));
    if (msg == WM_CLOSE)
    {
        if (hwnd == &s_Window && s_WindowExists)
            DestroyWindow(hwnd);
        else if (!hwnd && !s_WindowExists)
        {
            // Closing the program that has no window (no display): it hears
            // of its destruction all the same.
            if (const WNDPROC proc = TargetProcedure(nullptr))
                proc(nullptr, WM_DESTROY, 0, 0);
        }
    }
    return 0;
}

void PostQuitMessage(int exitCode)
{
    s_QuitPosted = true;
    s_QuitCode = exitCode;
}

HWND SetCapture(HWND hwnd)
{
    HWND previous = s_Captured;
    if (hwnd && hwnd == &s_Window && s_WindowExists)
    {
        SDL_CaptureMouse(SDL_TRUE);
        s_Captured = hwnd;
    }
    return previous == hwnd ? nullptr : previous;
}

BOOL ReleaseCapture()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_CaptureMouse(SDL_FALSE);
    s_Captured = nullptr;
    return TRUE;
}

// ---------------------------------------------------------------- drops

UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size)
{
    if (!drop)
        return 0;
    if (index == 0xFFFFFFFFu)
        return static_cast<UINT>(drop->m_Paths.size());
    if (index >= drop->m_Paths.size())
        return 0;
    const std::string& path = drop->m_Paths[index];
    if (buffer && size > 0)
    {
        const size_t n = std::min<size_t>(path.size(), size - 1);
        std::memcpy(buffer, path.data(), n);
        buffer[n] = 0;
    }
    return static_cast<UINT>(path.size());
}

void DragFinish(HDROP drop)
{
    delete drop;
}

// ---------------------------------------------------------------- signals

void QuitOnSignals()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // SDL turns these into its quit event too; ours come first and alone.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

// ---------------------------------------------------------------- message boxes

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type)
{
    // A message box can come up without video (SDL falls back on X11 directly).
    InitPlatformVideo();

    SDL_MessageBoxButtonData buttons[2];
    int count = 0;
    if ((type & 0xF) == MB_YESNO)
    {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
        buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
        count = 2;
    }
    else
    {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"};
        count = 1;
    }
    SDL_MessageBoxData data;
    std::memset(&data, 0, sizeof(data));
    data.flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    if ((type & 0xF0) == MB_ICONWARNING)
        data.flags |= SDL_MESSAGEBOX_WARNING;
    else
        data.flags |= SDL_MESSAGEBOX_INFORMATION;
    data.window = owner && owner == &s_Window && s_WindowExists ? s_Window.m_Window : nullptr;
    data.title = caption ? caption : "";
    data.message = text ? text : "";
    data.numbuttons = count;
    data.buttons = buttons;
    int pressed = -1;
    // SDL's X11 box (shown from a forked child) now and then fails to come
    // up at all; a short wait and another try usually shows it. While it is
    // up, a quit signal ends the program at once (see QuitOnSignals).
    int attempt = 0;
    s_InModalBox = 1;
    struct SBoxDone
    {
        ~SBoxDone() { s_InModalBox = 0; }
    } done;
    while (SDL_ShowMessageBox(&data, &pressed) != 0)
    {
        std::fprintf(stderr, "ORBA: message box \"%s\" failed: %s\n", data.title, SDL_GetError());
        if (++attempt == 3)
            return 0;
        pressed = -1;
        SDL_Delay(200);
    }
    // Closing the box without a button answers as Escape would.
    if (pressed < 0)
        return count == 2 ? IDNO : IDOK;
    return pressed;
}

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
{
    const std::string t = Utf8FromWide(text);
    const std::string c = Utf8FromWide(caption);
    return MessageBoxA(owner, t.c_str(), c.c_str(), type);
}

// ---------------------------------------------------------------- clock and sleep

BOOL QueryPerformanceFrequency(LONGLONG* frequency)
{
    if (!frequency)
        return FALSE;
    *frequency = s_CounterFn ? s_CounterFrequency : static_cast<LONGLONG>(SDL_GetPerformanceFrequency());
    return TRUE;
}

BOOL QueryPerformanceCounter(LONGLONG* counter)
{
    if (!counter)
        return FALSE;
    *counter = s_CounterFn ? s_CounterFn() : static_cast<LONGLONG>(SDL_GetPerformanceCounter());
    return TRUE;
}

void Sleep(DWORD milliseconds)
{
    SDL_Delay(milliseconds);
}

void SetPerformanceCounterSource(PerformanceCounterFn counter, LONGLONG frequency)
{
    s_CounterFn = counter && frequency > 0 ? counter : nullptr;
    s_CounterFrequency = s_CounterFn ? frequency : 0;
}
