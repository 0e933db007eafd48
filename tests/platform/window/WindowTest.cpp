// The window and message layer. Most of it needs no display: posted messages
// reach the window procedure the way the program's main loop reads them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/window/PlatformWindow.h"
#include "platform/Win32.h"

// The window without a display: these tests ask for SDL's offscreen driver
// (the program itself never falls back on it unasked).
struct SOffscreenDriver
{
    SOffscreenDriver() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }
} s_OffscreenDriver;

namespace {

struct SSeen
{
    HWND m_Window;
    UINT m_Message;
    WPARAM m_WParam;
    LPARAM m_LParam;
};
std::vector<SSeen> s_Seen;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    s_Seen.push_back({hwnd, msg, wParam, lParam});
    if (msg == WM_DESTROY)
    {
        PostQuitMessage(3);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Drain();
        s_Seen.clear();
        WNDCLASSEXA wc;
        wc.style = CS_CLASSDC;
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "WindowTest";
        ASSERT_EQ(RegisterClassExA(&wc), TRUE);
    }
    void TearDown() override
    {
        if (CPlatformWindow* w = GetPlatformWindow())
            DestroyWindow(w);
        EXPECT_EQ(UnregisterClassA("WindowTest", GetModuleHandleA(nullptr)), TRUE);
        Drain();
    }
    static void Drain()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
        }
    }
    // The program's loop: one message per iteration, until WM_QUIT.
    static int RunUntilQuit(int iterations)
    {
        MSG msg;
        for (int i = 0; i < iterations; ++i)
        {
            if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                continue;
            if (msg.message == WM_QUIT)
                return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return -1;
    }
};

TEST_F(WindowTest, PostedMessagesReachTheProcedureInOrderWithoutADisplay)
{
    ASSERT_EQ(PostMessageA(nullptr, WM_KEYDOWN, VK_ESCAPE, 0), TRUE);
    ASSERT_EQ(PostMessageA(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(-5, 600)), TRUE);
    ASSERT_EQ(PostMessageA(nullptr, WM_LBUTTONDOWN, 1, MAKELPARAM(10, 20)), TRUE);
    MSG msg;
    int dispatched = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        DispatchMessageA(&msg);
        ++dispatched;
    }
    EXPECT_EQ(dispatched, 3);
    ASSERT_EQ(s_Seen.size(), 3u);
    EXPECT_EQ(s_Seen[0].m_Message, WM_KEYDOWN);
    EXPECT_EQ(s_Seen[0].m_WParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(s_Seen[1].m_Message, WM_MOUSEMOVE);
    EXPECT_EQ(static_cast<int16_t>(LOWORD(s_Seen[1].m_LParam)), -5);
    EXPECT_EQ(static_cast<int16_t>(HIWORD(s_Seen[1].m_LParam)), 600);
    EXPECT_EQ(s_Seen[2].m_Message, WM_LBUTTONDOWN);
}

TEST_F(WindowTest, PeekLeavesOrTakesAndFilters)
{
    PostMessageA(nullptr, WM_KEYDOWN, 'A', 0);
    PostMessageA(nullptr, WM_MOUSEMOVE, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    // Only mouse messages: the later one is taken first.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_MOUSEMOVE, WM_MBUTTONUP, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_MOUSEMOVE);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, QuitComesAfterEverythingAlreadyWaiting)
{
    PostQuitMessage(7);
    PostMessageA(nullptr, WM_KEYUP, 'B', 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_KEYUP);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, CloseGoesThroughDestroyToQuitWithoutAWindow)
{
    PostMessageA(nullptr, WM_CLOSE, 0, 0);
    EXPECT_EQ(RunUntilQuit(8), 3);
    ASSERT_EQ(s_Seen.size(), 2u);
    EXPECT_EQ(s_Seen[0].m_Message, WM_CLOSE);
    EXPECT_EQ(s_Seen[1].m_Message, WM_DESTROY);
}

TEST_F(WindowTest, KeyDownsTranslateToCharacters)
{
    MSG key;
    key.message = WM_KEYDOWN;
    key.wParam = 'Q';
    EXPECT_EQ(TranslateMessage(&key), TRUE);
    key.wParam = VK_F1;
    EXPECT_EQ(TranslateMessage(&key), FALSE);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_CHAR);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('q'));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, ClassesAreRegisteredOnce)
{
    WNDCLASSEXA wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "WindowTest";
    EXPECT_EQ(RegisterClassExA(&wc), FALSE);
    wc.lpszClassName = nullptr;
    EXPECT_EQ(RegisterClassExA(&wc), FALSE);
    EXPECT_EQ(UnregisterClassA("NoSuchClass", nullptr), FALSE);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(WindowTest, WindowCloseDestroysItAndEndsInQuit)
{
    HWND hwnd = CreateWindowExA(0, "WindowTest", "", WS_POPUP, 10, 20, 800, 600, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr) << "no video driver (SDL_VIDEODRIVER=offscreen expected)";
    EXPECT_EQ(GetPlatformWindow(), hwnd);
    EXPECT_EQ(hwnd->m_Width, 800);
    EXPECT_EQ(hwnd->m_ViewWidth, 800);
    EXPECT_EQ(hwnd->m_ViewHeight, 600);
    EXPECT_FALSE(hwnd->m_Visible);
    EXPECT_EQ(ShowWindow(hwnd, SW_SHOWDEFAULT), FALSE);
    EXPECT_TRUE(hwnd->m_Visible);
    // One window at a time.
    EXPECT_EQ(CreateWindowExA(0, "WindowTest", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr),
              nullptr);

    PostMessageA(hwnd, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    PostMessageA(hwnd, WM_KEYDOWN, VK_RETURN, 0);  // dropped with the window
    EXPECT_EQ(RunUntilQuit(16), 3);
    std::vector<UINT> order;
    for (const SSeen& s : s_Seen)
        if (s.m_Message != WM_CHAR)
            order.push_back(s.m_Message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_KEYDOWN, WM_CLOSE, WM_DESTROY}));
    EXPECT_EQ(GetPlatformWindow(), nullptr);
    EXPECT_EQ(PostMessageA(hwnd, WM_KEYDOWN, 'A', 0), FALSE);
}

TEST_F(WindowTest, ScreenMetricsAndCapture)
{
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    EXPECT_GT(GetSystemMetrics(SM_CYSCREEN), 0);
    EXPECT_EQ(GetSystemMetrics(99), 0);
    HWND hwnd = CreateWindowExA(0, "WindowTest", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(SetCapture(hwnd), nullptr);
    EXPECT_EQ(ReleaseCapture(), TRUE);
    const int shown = ShowCursor(FALSE);
    EXPECT_EQ(ShowCursor(TRUE), shown + 1);
}

LONGLONG FixedCounter()
{
    return 12345;
}

TEST_F(WindowTest, PerformanceCounterSourceCanBeReplaced)
{
    LONGLONG f = 0, c = 0;
    ASSERT_EQ(QueryPerformanceFrequency(&f), TRUE);
    EXPECT_GT(f, 0);
    LONGLONG a = 0, b = 0;
    QueryPerformanceCounter(&a);
    Sleep(2);
    QueryPerformanceCounter(&b);
    EXPECT_GT(b, a);
    SetPerformanceCounterSource(&FixedCounter, 1000);
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    EXPECT_EQ(f, 1000);
    EXPECT_EQ(c, 12345);
    SetPerformanceCounterSource(nullptr, 0);
    QueryPerformanceCounter(&c);
    EXPECT_NE(c, 12345);
    EXPECT_EQ(QueryPerformanceCounter(nullptr), FALSE);
}

TEST_F(WindowTest, MessageBoxAnswersZeroWhenItCannotBeShown)
{
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))
        GTEST_SKIP() << "a display is present: the box would wait for an answer";
    EXPECT_EQ(MessageBoxW(nullptr, L"Fullscreen?", L"ORBA", MB_YESNO), 0);
    EXPECT_EQ(MessageBoxA(nullptr, "This code won't run on your GPU", "", MB_ICONWARNING), 0);
}

}  // namespace
