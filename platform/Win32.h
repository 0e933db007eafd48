#pragma once
// The window, message, clock and message-box calls the program makes, with
// their Windows names, message numbers and virtual-key codes. Implemented
// over SDL2 (Win32Sdl.cpp). Main thread only.
//
// One window at a time. Messages come from two places: SDL events turned into
// WM_ messages when the queue is read, and PostMessageA/PostQuitMessage, which
// tests use as well to drive the main loop without a display.
#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HINSTANCE = void*;
using LONGLONG = int64_t;

struct CPlatformWindow;
using HWND = CPlatformWindow*;
struct SDropList;
using HDROP = SDropList*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Messages.
constexpr UINT WM_DESTROY = 0x0002;
// The client space has a new size: LOWORD(lParam) x HIWORD(lParam) pixels.
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
// Sent (not posted) while the mouse is pressed, to ask what the point at
// LOWORD(lParam), HIWORD(lParam) is. Not Windows: in client space, not the
// screen's. HTCLIENT is the program's own (a control); HTCAPTION moves the
// window through the window manager, as a title bar would.
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTCAPTION = 2;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
// The wheel turned: HIWORD(wParam) is a signed multiple of WHEEL_DELTA, up
// (away from the user) positive.
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr int WHEEL_DELTA = 120;
// Files or folders dropped on the window: wParam is an HDROP, read with
// DragQueryFileA and let go with DragFinish.
constexpr UINT WM_DROPFILES = 0x0233;

// Virtual keys (letters and digits are their uppercase ASCII codes).
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_F1 = 0x70;
constexpr int VK_F11 = 0x7A;
constexpr int VK_ADD = 0x6B;            // keypad +
constexpr int VK_SUBTRACT = 0x6D;       // keypad -
constexpr int VK_OEM_PLUS = 0xBB;       // the = / + key
constexpr int VK_OEM_MINUS = 0xBD;
constexpr int VK_MEDIA_NEXT_TRACK = 0xB0;
constexpr int VK_MEDIA_PREV_TRACK = 0xB1;
constexpr int VK_MEDIA_STOP = 0xB2;
constexpr int VK_MEDIA_PLAY_PAUSE = 0xB3;
constexpr int VK_PLAY = 0xFA;
constexpr int VK_OEM_4 = 0xDB;          // [
constexpr int VK_OEM_6 = 0xDD;          // ]

// Window class styles, window styles, show commands, metrics.
constexpr UINT CS_CLASSDC = 0x0040;
constexpr DWORD WS_POPUP = 0x80000000u;
// Sized by its edges; its client space then follows the window's pixels,
// the largest rectangle of the created size's aspect, centred (full screen
// too), and each change is said by WM_SIZE.
constexpr DWORD WS_THICKFRAME = 0x00040000u;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWDEFAULT = 10;
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

// PeekMessage.
constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;

// Message boxes.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

struct WNDCLASSEXA
{
    UINT cbSize = 0;
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    const char* lpszClassName = nullptr;
};

struct MSG
{
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

inline LPARAM MAKELPARAM(int lo, int hi)
{
    return static_cast<LPARAM>((static_cast<uint32_t>(hi & 0xFFFF) << 16) | static_cast<uint32_t>(lo & 0xFFFF));
}
inline uint16_t LOWORD(LPARAM l) { return static_cast<uint16_t>(l & 0xFFFF); }
inline uint16_t HIWORD(LPARAM l) { return static_cast<uint16_t>((l >> 16) & 0xFFFF); }

HINSTANCE GetModuleHandleA(const char* name);
BOOL RegisterClassExA(const WNDCLASSEXA* wc);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);

// Creates the window hidden. With no display, returns null. Full screen is
// chosen as on Direct3D 9: a device created on the window with Windowed
// FALSE switches it to desktop full screen, where the program's frame is
// scaled to fit with its aspect kept and mouse positions are mapped back into
// the window's own width x height client space.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, void* menu, HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND hwnd);
// Moves or sizes the window (not in full screen); cx x cy is the client size.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);

// Not Windows: where the window stands, in desktop coordinates; in full
// screen, where it stood before and will stand again.
struct SWindowPlace
{
    int m_X = 0, m_Y = 0, m_Width = 0, m_Height = 0;
    bool m_FullScreen = false;
};
// Where the next CreateWindowExA opens (in place of its position and size):
// used only if it lies on a connected screen, else the window opens centred.
// Null forgets it.
void SetWindowPlaceToOpen(const SWindowPlace* place);
BOOL GetWindowPlace(HWND hwnd, SWindowPlace* place);
// Not Windows: the desktop's scale factor (GDK_SCALE, QT_SCALE_FACTOR, the X
// resource Xft.dpi over 96, else 1), and the work area of the first screen
// (false without a display).
double GetDesktopScale();
BOOL GetWorkAreaSize(int* width, int* height);
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL UpdateWindow(HWND hwnd);
BOOL BringWindowToTop(HWND hwnd);
int GetSystemMetrics(int index);
// Minimised; and shown, mapped and not minimised. While the window cannot be
// seen the program draws nothing.
BOOL IsIconic(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
// Not Windows: the window's icon, from 32-bit ARGB texels, rows top first.
BOOL SetWindowIconArgb(HWND hwnd, int width, int height, const uint32_t* argb);
// Not Windows: lets the screensaver start (TRUE) or keeps it off.
void AllowScreenSaver(BOOL allow);
BOOL IsScreenSaverAllowed();
int ShowCursor(BOOL show);

// A message posted to no window is dispatched to the window's procedure or,
// while there is no window (no display), to that of the class registered
// last; WM_CLOSE's default handling then still ends in WM_DESTROY.
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Waits up to `milliseconds` for a message (handles are not supported: count
// must be 0). WAIT_OBJECT_0 when one is waiting, WAIT_TIMEOUT otherwise.
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD QS_ALLINPUT = 0x04FF;
DWORD MsgWaitForMultipleObjects(DWORD count, const void* handles, BOOL waitAll, DWORD milliseconds, DWORD wakeMask);
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();

// With index 0xFFFFFFFF the number of dropped paths; otherwise the length of
// path `index` (without its terminator), copied into `buffer` (cut to fit and
// always terminated) when there is one.
UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size);
void DragFinish(HDROP drop);

// Modal Yes/No or warning box. Returns 0 when no box could be shown.
int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

BOOL QueryPerformanceFrequency(LONGLONG* frequency);
BOOL QueryPerformanceCounter(LONGLONG* counter);
void Sleep(DWORD milliseconds);

// Not Windows: SIGINT and SIGTERM post WM_QUIT, seen at the next look at the
// queue, so the program ends through its own shutdown. While a modal message
// box is up (the loop cannot run), they end the process at once with exit
// code 0.
void QuitOnSignals();

// Not Windows: the counter source, for tests that drive the frame timer.
// Null restores the real performance counter.
using PerformanceCounterFn = LONGLONG (*)();
void SetPerformanceCounterSource(PerformanceCounterFn counter, LONGLONG frequency);
