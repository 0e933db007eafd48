#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/DebugPanel.h"
#include "frame/Input.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "support/Globals.h"
#include "support/RecordingDevice.h"

namespace {

struct SText
{
    std::string m_Text;
    RECT m_Rect;
    uint32_t m_Color;
};

// Notes every text drawn, with its rectangle and colour.
class CRecordingFont : public ID3DXFont
{
public:
    void Release() override { delete this; }
    int DrawTextA(void*, const char* text, int count, RECT* rect, DWORD, D3DCOLOR color) override
    {
        m_Texts.push_back({std::string(text, count < 0 ? std::strlen(text) : size_t(count)), *rect, color});
        return 24;
    }
    std::vector<SText> m_Texts;
};

class DebugPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetProgramState();
        m_Device = InstallRecordingDevice();
        m_Font = new CRecordingFont;
        g_Font = new CFontHolder;
        g_Font->m_Font = m_Font;
        RegisterDebugVar("s_DisplayStats", &g_DisplayStats, 1.0f, 0.0f, 1.0f, false);
    }
    void TearDown() override
    {
        RemoveRecordingDevice();
        ResetProgramState();
    }
    void Press(int key) { g_Input.m_Keys[key] = 1; }
    void Release(int key) { g_Input.m_Keys[key] = 0; }
    void Frame()
    {
        m_Font->m_Texts.clear();
        UpdateDebugPanel();
        g_Input.Snapshot();
    }
    CRecordingDevice* m_Device = nullptr;
    CRecordingFont* m_Font = nullptr;
};

TEST_F(DebugPanelTest, F1ShowsSevenRowsOfTheSingleVariable)
{
    Frame();
    EXPECT_TRUE(m_Font->m_Texts.empty());
    Press(VK_F1);
    Frame();
    ASSERT_TRUE(g_DebugPanel);
    ASSERT_EQ(m_Font->m_Texts.size(), 14u);
    for (int r = 0; r < 7; ++r)
    {
        const SText& name = m_Font->m_Texts[2 * r];
        const SText& value = m_Font->m_Texts[2 * r + 1];
        EXPECT_EQ(name.m_Text, "s_DisplayStats");
        EXPECT_EQ(value.m_Text, "0.00000");
        EXPECT_EQ(name.m_Color, 0xFFFFFFFFu);  // every row is the selection
        EXPECT_EQ(name.m_Rect.left, 26);
        EXPECT_EQ(value.m_Rect.left, 326);
        EXPECT_EQ(name.m_Rect.top, 398 + 22 + 22 * r);
        EXPECT_EQ(name.m_Rect.right, 800);
        EXPECT_EQ(name.m_Rect.bottom, 600);
    }
    // Background: black, then dark green inside it.
    const auto rects = m_Device->Calls("DrawPrimitiveUP");
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(VertexFloats(*rects[0], 0)[1], 398.0f);
    EXPECT_EQ(VertexColor(*rects[0], 0, 16), 0xFF000000u);
    EXPECT_EQ(VertexFloats(*rects[1], 3)[0], 500.0f);
    EXPECT_EQ(VertexColor(*rects[1], 0, 16), 0xFF408040u);
    Release(VK_F1);
    Frame();
    Press(VK_F1);
    Frame();
    EXPECT_FALSE(g_DebugPanel);
}

TEST_F(DebugPanelTest, RightHeldOneFrameClampsAtOneAndShiftDoublesTheStep)
{
    g_DebugPanel = true;
    Press(VK_RIGHT);
    Frame();
    EXPECT_EQ(g_DisplayStats, 1.0f);
    EXPECT_EQ(m_Font->m_Texts[1].m_Text, "1.00000");
    Release(VK_RIGHT);
    Press(VK_LEFT);
    Frame();
    EXPECT_EQ(g_DisplayStats, 0.0f);
    Release(VK_LEFT);

    float wide = 0.0f;
    RegisterDebugVar("wide", &wide, 1.0f, -10.0f, 10.0f, false);
    g_DebugSelection = 1;
    Press(VK_SHIFT);
    Press(VK_RIGHT);
    Frame();
    EXPECT_EQ(wide, 2.0f);
    g_DebugSelection = 0;
    Frame();
    EXPECT_EQ(g_DisplayStats, 1.0f);  // step 2 still clamps to 1
}

TEST_F(DebugPanelTest, LeftAndRightTogetherCancel)
{
    float v = 0.5f;
    RegisterDebugVar("v", &v, 0.25f, 0.0f, 1.0f, false);
    g_DebugPanel = true;
    g_DebugSelection = 1;
    Press(VK_LEFT);
    Press(VK_RIGHT);
    Frame();
    EXPECT_EQ(v, 0.5f);
}

TEST_F(DebugPanelTest, OnPressVariablesStepOncePerPress)
{
    float v = 0.0f;
    RegisterDebugVar("v", &v, 1.0f, 0.0f, 10.0f, true);
    g_DebugPanel = true;
    g_DebugSelection = 1;
    Press(VK_RIGHT);
    Frame();
    Frame();
    Frame();
    EXPECT_EQ(v, 1.0f);
}

TEST_F(DebugPanelTest, UpAndDownWrapAndTheSelectionStaysInTheMiddleRow)
{
    float a = 0, b = 0;
    RegisterDebugVar("a", &a, 1, 0, 1, false);
    RegisterDebugVar("b", &b, 1, 0, 1, false);
    g_DebugPanel = true;
    Press(VK_UP);
    Frame();
    EXPECT_EQ(g_DebugSelection, 2);
    EXPECT_EQ(m_Font->m_Texts[6].m_Text, "b");  // row 3
    EXPECT_EQ(m_Font->m_Texts[6].m_Color, 0xFFFFFFFFu);
    EXPECT_EQ(m_Font->m_Texts[0].m_Text, "b");  // index -1 wraps to the last
    EXPECT_EQ(m_Font->m_Texts[2].m_Text, "s_DisplayStats");
    EXPECT_EQ(m_Font->m_Texts[2].m_Color, 0x80FFFFFFu);
    Release(VK_UP);
    Press(VK_DOWN);
    Frame();
    EXPECT_EQ(g_DebugSelection, 0);
}

TEST_F(DebugPanelTest, NamesAreCutAndDuplicatesIgnored)
{
    float x = 0, y = 0;
    const std::string longName(300, 'n');
    RegisterDebugVar(longName.c_str(), &x, 1, 0, 1, false);
    EXPECT_EQ(std::string(g_DebugVars.back()->m_Name).size(), 256u);
    RegisterDebugVar("s_DisplayStats", &y, 5, 0, 10, true);
    EXPECT_EQ(g_DebugVars.size(), 2u);
    EXPECT_EQ(g_DebugVars[0]->m_Value, &g_DisplayStats);
}

TEST_F(DebugPanelTest, EmptyRangeClampsToTheLowerBound)
{
    float v = 7.0f;
    RegisterDebugVar("v", &v, 1.0f, 5.0f, 3.0f, false);
    g_DebugPanel = true;
    g_DebugSelection = 1;
    Frame();
    EXPECT_EQ(v, 5.0f);
}

TEST_F(DebugPanelTest, NoVariablesShowsOnlyTheBackground)
{
    ClearDebugVars();
    g_DebugPanel = true;
    Frame();
    EXPECT_TRUE(m_Font->m_Texts.empty());
    EXPECT_EQ(m_Device->Calls("DrawPrimitiveUP").size(), 2u);
}

TEST_F(DebugPanelTest, LongTextIsCutAndNoFontDrawsNothing)
{
    const std::string huge(5000, 'x');
    DrawDebugText(0, 0, 0xFFFFFFFF, "%s", huge.c_str());
    ASSERT_EQ(m_Font->m_Texts.size(), 1u);
    EXPECT_EQ(m_Font->m_Texts[0].m_Text.size(), 2047u);
    CFontHolder* saved = g_Font;
    g_Font = nullptr;
    DrawDebugText(0, 0, 0xFFFFFFFF, "nothing");
    g_Font = saved;
    EXPECT_EQ(m_Font->m_Texts.size(), 1u);
}

TEST_F(DebugPanelTest, StatisticsShowFrameRateTimeAndCameraEvenWithoutALiveCamera)
{
    g_Demo.Init();
    m_Font->m_Texts.clear();
    g_Demo.m_ShowTime = 12.345f;
    g_Demo.m_Camera->m_Pos = {1, 2, 3};
    g_Camera = nullptr;  // a screen's camera has gone
    g_Demo.DrawStatistics();
    ASSERT_EQ(m_Font->m_Texts.size(), 3u);
    EXPECT_EQ(m_Font->m_Texts[0].m_Text.rfind("FPS: ", 0), 0u);
    EXPECT_EQ(m_Font->m_Texts[1].m_Text, "Total: 12.35");
    EXPECT_EQ(m_Font->m_Texts[2].m_Text, "Cam:\nPos = 1.00, 2.00, 3.00\nFocus = 0.00, 0.00, 0.00");
    EXPECT_EQ(m_Font->m_Texts[2].m_Rect.top, 100);
    EXPECT_EQ(m_Font->m_Texts[0].m_Color, 0xC0808080u);
    g_Demo.Shutdown();
}

}  // namespace
