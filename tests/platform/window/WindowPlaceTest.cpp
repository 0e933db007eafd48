// Where the window opens and how large: the desktop's scale factor, a
// remembered place checked against the screens, and a window sized by its
// edges whose client space follows it with the aspect kept.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/window/WindowPlace.h"
#include "platform/Win32.h"

namespace {

struct SOffscreen
{
    SOffscreen() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }
} s_Offscreen;

std::vector<MSG> s_Sizes;

LRESULT SizeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SIZE)
        s_Sizes.push_back({hwnd, msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Drain()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

}  // namespace

TEST(WindowPlaceTest, DesktopScaleComesFromGdkThenQtThenXftDpi)
{
    EXPECT_EQ(DesktopScaleFrom("2", "1.5", "Xft.dpi:\t144\n"), 2.0);
    EXPECT_EQ(DesktopScaleFrom(nullptr, "1.5", "Xft.dpi:\t192\n"), 1.5);
    EXPECT_EQ(DesktopScaleFrom("", "", "Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n"), 2.0);
    EXPECT_EQ(DesktopScaleFrom(nullptr, nullptr, "Xft.dpi:\t96\n"), 1.0);
    // Nonsense and nothing are 1; a value out of range says nothing.
    EXPECT_EQ(DesktopScaleFrom("abc", "0", "Xft.dpi:\t9000\n"), 1.0);
    EXPECT_EQ(DesktopScaleFrom("20", nullptr, "Xft.dpi:\t120\n"), 1.25);
    EXPECT_EQ(DesktopScaleFrom(nullptr, nullptr, nullptr), 1.0);
}

TEST(WindowPlaceTest, APlaceCountsOnlyOnAScreenThatHoldsIt)
{
    const SScreenRect two[] = {{0, 0, 1920, 1080}, {1920, 0, 2560, 1440}};
    auto at = [](int x, int y, int w, int h) {
        SWindowPlace p;
        p.m_X = x, p.m_Y = y, p.m_Width = w, p.m_Height = h;
        return p;
    };
    EXPECT_TRUE(IsPlaceOnScreens(at(560, 240, 800, 600), two, 2));
    EXPECT_TRUE(IsPlaceOnScreens(at(2500, 300, 1600, 1200), two, 2));  // on the second
    EXPECT_TRUE(IsPlaceOnScreens(at(-300, 10, 800, 600), two, 2));     // partly off, its middle on
    EXPECT_FALSE(IsPlaceOnScreens(at(2500, 300, 1600, 1200), two, 1)); // that screen is gone
    EXPECT_FALSE(IsPlaceOnScreens(at(-700, 10, 800, 600), two, 2));
    EXPECT_FALSE(IsPlaceOnScreens(at(100, 1000, 800, 600), two, 2));
    EXPECT_FALSE(IsPlaceOnScreens(at(0, 0, 1600, 1200), two, 1));      // larger than the screen
    EXPECT_FALSE(IsPlaceOnScreens(at(10, 10, 0, 600), two, 2));

    int w = 0, h = 0;
    FitAspect(1000, 600, 800, 600, &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    FitAspect(700, 300, 800, 600, &w, &h);
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 300);
}

TEST(WindowPlaceTest, ASizedWindowOpensWhereItWasOnlyIfThatIsOnScreenAndItsClientFollowsWithTheAspect)
{
    WNDCLASSEXA wc;
    wc.lpfnWndProc = SizeProc;
    wc.lpszClassName = "WindowPlaceTest";
    ASSERT_EQ(RegisterClassExA(&wc), TRUE);
    if (!InitPlatformVideo())
    {
        UnregisterClassA("WindowPlaceTest", nullptr);
        GTEST_SKIP() << "no video driver";
    }
    int screenW = 0, screenH = 0;
    ASSERT_EQ(GetWorkAreaSize(&screenW, &screenH), TRUE);

    SWindowPlace remembered;
    remembered.m_X = 20, remembered.m_Y = 30, remembered.m_Width = 400, remembered.m_Height = 300;
    SetWindowPlaceToOpen(&remembered);
    HWND hwnd = CreateWindowExA(0, "WindowPlaceTest", "t", WS_POPUP | WS_THICKFRAME, 0, 0, 800, 600, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    SWindowPlace now;
    ASSERT_EQ(GetWindowPlace(hwnd, &now), TRUE);
    EXPECT_EQ(now.m_X, 20);
    EXPECT_EQ(now.m_Y, 30);
    EXPECT_EQ(now.m_Width, 400);
    EXPECT_EQ(now.m_Height, 300);
    EXPECT_FALSE(now.m_FullScreen);
    EXPECT_EQ(hwnd->m_Width, 400);
    EXPECT_EQ(hwnd->m_Height, 300);

    // Sized off the aspect: the client is the largest 4:3 inside, centred
    // (here the same as before, so nothing is said); a new client size is
    // said once by WM_SIZE.
    Drain();
    s_Sizes.clear();
    ASSERT_EQ(SetWindowPos(hwnd, nullptr, 0, 0, 700, 300, SWP_NOMOVE | SWP_NOZORDER), TRUE);
    Drain();
    EXPECT_EQ(s_Sizes.size(), 0u);
    EXPECT_EQ(hwnd->m_ViewX, 150);
    EXPECT_EQ(hwnd->m_ViewY, 0);
    EXPECT_EQ(hwnd->m_ViewWidth, 400);
    EXPECT_EQ(hwnd->m_ViewHeight, 300);
    ASSERT_EQ(SetWindowPos(hwnd, nullptr, 0, 0, 1200, 900, SWP_NOMOVE | SWP_NOZORDER), TRUE);
    Drain();
    ASSERT_EQ(s_Sizes.size(), 1u);
    EXPECT_EQ(LOWORD(s_Sizes[0].lParam), 1200);
    EXPECT_EQ(HIWORD(s_Sizes[0].lParam), 900);
    EXPECT_EQ(hwnd->m_ViewX, 0);
    DestroyWindow(hwnd);

    // Off every screen: where and how large the caller asked (the program
    // asks for the middle of the screen).
    remembered.m_X = screenW * 3;
    SetWindowPlaceToOpen(&remembered);
    hwnd = CreateWindowExA(0, "WindowPlaceTest", "t", WS_POPUP | WS_THICKFRAME, 7, 9, 320, 240, nullptr, nullptr,
                           nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(GetWindowPlace(hwnd, &now), TRUE);
    EXPECT_EQ(now.m_X, 7);
    EXPECT_EQ(now.m_Y, 9);
    EXPECT_EQ(now.m_Width, 320);
    EXPECT_EQ(now.m_Height, 240);
    DestroyWindow(hwnd);
    SetWindowPlaceToOpen(nullptr);
    Drain();
    UnregisterClassA("WindowPlaceTest", nullptr);
}
