// The screen as a whole: construction, the controls, track changes, the
// description line and the drawing, against the real sound library (silent
// output) on generated mp3 files and the recording device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>
#include <string>
#include <unistd.h>

#include "Strip.h"
#include "app/App.h"
#include "audio/Album.h"
#include "frame/Input.h"
#include "musicdisk/Player.h"
#include "frame/Timer.h"
#include "musicdisk/Font.h"
#include "musicdisk/MusicDisk.h"
#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "render/Camera.h"
#include "render/RenderDevice.h"
#include "support/RecordingDevice.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

// Tones made by this process, removed when it exits. Each test runs in its
// own process under ctest, in parallel: the folder is per process.
struct STones
{
    std::map<int, std::string> m_Files;
    std::vector<std::string> m_Dirs;
    ~STones()
    {
        std::error_code ignored;
        for (const std::string& dir : m_Dirs)
            fs::remove_all(dir, ignored);
    }
};

// A tone of the given length as mp3, made once per process; copied to the
// days a test asks for. Empty when sox or lame is missing.
std::string ToneFile(int seconds)
{
    static STones tones;
    auto found = tones.m_Files.find(seconds);
    if (found != tones.m_Files.end())
        return found->second;
    std::string& path = tones.m_Files[seconds];
    if (HaveCommand("sox") && HaveCommand("lame"))
    {
        const std::string dir =
            MakeTempDir("musicdisk-tone" + std::to_string(seconds) + "-" + std::to_string(getpid()));
        tones.m_Dirs.push_back(dir);
        const std::string wav = dir + "/tone.wav", mp3 = dir + "/tone.mp3";
        if (RunCommand("sox -n -r 44100 -c 1 -b 16 '" + wav + "' synth " + std::to_string(seconds) +
                       " sine 440 vol 0.3 && lame --quiet '" + wav + "' '" + mp3 + "'") == 0)
            path = mp3;
    }
    return path;
}

class AudioEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { FSOUND_Init(44100, 32, 0); }
};
[[maybe_unused]] const auto* const s_AudioEnvironment = ::testing::AddGlobalTestEnvironment(new AudioEnvironment);

class MusicDiskTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_OldDir = fs::current_path();
        m_Dir = MakeTempDir(std::string("musicdisk-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_Dir + "/Tamm_songs");
        fs::current_path(m_Dir);
        g_Input = CInput();
        g_Quit = false;
        g_TimeMs = 0.0;
        g_DeltaTime = 0.0f;
        m_Device = InstallRecordingDevice();
        m_Strip = MakeStrip(ShippedWidths());
        GetTexture(225) = m_Strip.get();
    }

    void TearDown() override
    {
        delete m_Disk;
        GetTexture(225) = nullptr;
        m_Strip.reset();
        RemoveRecordingDevice();
        g_Quit = false;
        g_Input = CInput();
        fs::current_path(m_OldDir);
    }

    // False when no mp3 could be made (the test then skips).
    bool AddTracks(std::initializer_list<int> days, int seconds = 30)
    {
        const std::string tone = ToneFile(seconds);
        if (tone.empty())
            return false;
        for (int day : days)
            fs::copy_file(tone, m_Dir + "/Tamm_songs/tamm - day" + std::to_string(day) + ".mp3");
        return true;
    }

    CMusicDisk& Create()
    {
        m_Disk = new CMusicDisk;
        m_Disk->m_TimeLeft = 10000.0f;  // as the schedule creates it
        return *m_Disk;
    }

    // One frame with the mouse at (x, y) and the left button down or up.
    void Frame(int x, int y, bool down, float dt = 0.016f)
    {
        g_Input.m_MouseX = static_cast<int16_t>(x);
        g_Input.m_MouseY = static_cast<int16_t>(y);
        g_Input.m_Buttons[BUTTON_LEFT] = down ? 1 : 0;
        g_DeltaTime = dt;
        g_TimeMs += dt * 1000.0;
        m_Disk->Update(dt);
        g_Input.Snapshot();
    }

    // A press and release over (x, y): two frames.
    void Click(int x, int y)
    {
        Frame(x, y, true);
        Frame(x, y, false);
    }

    std::string TrackFile() const { return m_Disk->m_TrackFile.c_str(); }

    fs::path m_OldDir;
    std::string m_Dir;
    CRecordingDevice* m_Device = nullptr;
    std::unique_ptr<CTexture> m_Strip;
    CMusicDisk* m_Disk = nullptr;
};

#define REQUIRE_TRACKS(...)                                   \
    if (!AddTracks({__VA_ARGS__}))                            \
    GTEST_SKIP() << "sox and lame are needed to make tracks"

// Where `p` points inside `text`, or npos.
size_t OffsetIn(const char* text, const char* p)
{
    const size_t n = std::strlen(text);
    for (size_t i = 0; i < n; ++i)
        if (text + i == p)
            return i;
    return std::string::npos;
}

constexpr int PreviousX = 90, NextX = 210, PlayX = 150, ButtonY = 378;

}  // namespace

TEST_F(MusicDiskTest, ConstructionOpensTrackOneAndTakesTheCamera)
{
    REQUIRE_TRACKS(1);
    CMusicDisk& d = Create();
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day1.mp3");
    ASSERT_NE(d.m_Handle, nullptr);
    EXPECT_EQ(d.m_Handle->GetType(), 1);
    EXPECT_EQ(g_Camera, d.m_Camera);
    EXPECT_EQ(g_ClearColor, 0u);
    for (CBall* ball : d.m_Balls)
        EXPECT_NE(ball, nullptr);
    EXPECT_EQ(std::string(d.m_Ticker), std::string(169, ' '));
    EXPECT_EQ(d.m_TextSource, g_TrackDescriptions[0]);
    EXPECT_FLOAT_EQ(d.m_Volume, 0.85f);
    ASSERT_NE(d.m_Font, nullptr);
    EXPECT_FLOAT_EQ(d.m_Font->m_GlyphWidth['M'], 8.0f);
}

TEST_F(MusicDiskTest, DestructionHandsTheCameraBack)
{
    CCamera appCamera(800.0f, 600.0f);
    CCamera* const saved = g_Demo.m_Camera;
    g_Demo.m_Camera = &appCamera;
    Create();
    delete m_Disk;
    m_Disk = nullptr;
    EXPECT_EQ(g_Camera, &appCamera);

    // A camera installed by someone else since is left alone.
    CCamera other(800.0f, 600.0f);
    Create();
    g_Camera = &other;
    delete m_Disk;
    m_Disk = nullptr;
    EXPECT_EQ(g_Camera, &other);
    g_Camera = saved;
    g_Demo.m_Camera = saved;
}

TEST_F(MusicDiskTest, TrackButtonsWrapBothWays)
{
    REQUIRE_TRACKS(1, 2, 30);
    CMusicDisk& d = Create();
    Click(PreviousX, ButtonY);
    EXPECT_EQ(d.m_TrackIndex, 29);
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day30.mp3");
    EXPECT_NE(d.m_Handle, nullptr);
    Click(NextX, ButtonY);
    EXPECT_EQ(d.m_TrackIndex, 0);
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day1.mp3");
    // Holding the button does not step again.
    Frame(NextX, ButtonY, true);
    for (int i = 0; i < 5; ++i)
        Frame(NextX, ButtonY, true);
    EXPECT_EQ(d.m_TrackIndex, 1);
}

TEST_F(MusicDiskTest, AdvancesAfterTrackThirtyToTrackOne)
{
    CMusicDisk& d = Create();  // no files: every track ends at once
    Frame(0, 0, false);
    ASSERT_EQ(d.m_Handle, nullptr);
    d.m_TrackIndex = 29;
    Frame(0, 0, false);
    EXPECT_EQ(d.m_TrackIndex, 0);
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day1.mp3");
}

TEST_F(MusicDiskTest, TrackThatPlaysToItsEndIsFollowedByTheNext)
{
    REQUIRE_TRACKS(1);
    ASSERT_TRUE(AddTracks({30}, 1));
    CMusicDisk& d = Create();
    Click(PreviousX, ButtonY);
    ASSERT_EQ(d.m_TrackIndex, 29);
    ASSERT_NE(d.m_Handle, nullptr);
    // The one-second track ends in real time; give it ten.
    for (int i = 0; i < 500 && d.m_TrackIndex == 29; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Frame(0, 0, false);
    }
    EXPECT_EQ(d.m_TrackIndex, 0);
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day1.mp3");
    EXPECT_NE(d.m_Handle, nullptr);
}

TEST_F(MusicDiskTest, MissingTrackIsSkippedOneAttemptPerFrame)
{
    REQUIRE_TRACKS(1, 3);
    CMusicDisk& d = Create();
    ASSERT_NE(d.m_Handle, nullptr);
    Frame(NextX, ButtonY, true);
    EXPECT_EQ(d.m_TrackIndex, 1);
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day2.mp3");
    EXPECT_EQ(d.m_Handle, nullptr);
    Frame(NextX, ButtonY, false);
    EXPECT_EQ(d.m_TrackIndex, 2);
    EXPECT_NE(d.m_Handle, nullptr);
    Frame(0, 0, false);
    EXPECT_EQ(d.m_TrackIndex, 2);
}

TEST_F(MusicDiskTest, WithoutAnyFileTheIndexCyclesAndTheScreenKeepsWorking)
{
    CMusicDisk& d = Create();
    EXPECT_EQ(d.m_Handle, nullptr);
    for (int frame = 1; frame <= 65; ++frame)
    {
        Frame(400, 300, false);
        d.Render();
        ASSERT_EQ(d.m_TrackIndex, frame % 30) << frame;
        EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day" + std::to_string(frame % 30 + 1) + ".mp3");
    }
}

TEST_F(MusicDiskTest, QuitRectangleEdgesCountAsInside)
{
    CMusicDisk& d = Create();
    (void)d;
    for (int x : {9, 87})
    {
        Click(x, 70);
        EXPECT_FALSE(g_Quit) << x;
    }
    Click(50, 91);
    EXPECT_FALSE(g_Quit);
    for (int x : {10, 86})
    {
        g_Quit = false;
        Click(x, 64);
        EXPECT_TRUE(g_Quit) << x;
        g_Quit = false;
        Click(x, 90);
        EXPECT_TRUE(g_Quit) << x;
    }
}

TEST_F(MusicDiskTest, VolumeFollowsAHoldButNotThePress)
{
    CMusicDisk& d = Create();
    Frame(564, 380, true);
    EXPECT_FLOAT_EQ(d.m_Volume, 0.85f);
    Frame(564, 380, true);
    EXPECT_FLOAT_EQ(d.m_Volume, 0.0f);
    Frame(764, 366, true);
    EXPECT_FLOAT_EQ(d.m_Volume, 1.0f);
    Frame(664, 394, true);
    EXPECT_FLOAT_EQ(d.m_Volume, 0.5f);
    // Out of the groove, still holding: no change.
    Frame(765, 380, true);
    Frame(700, 395, true);
    EXPECT_FLOAT_EQ(d.m_Volume, 0.5f);
    // A hold that began elsewhere acts once it is over the groove.
    Frame(600, 380, true);
    EXPECT_FLOAT_EQ(d.m_Volume, 0.18f);
}

TEST_F(MusicDiskTest, PlayPauseTogglesAndATrackChangeResumes)
{
    REQUIRE_TRACKS(1, 2);
    CMusicDisk& d = Create();
    Click(PlayX, ButtonY);
    EXPECT_TRUE(d.m_Paused);
    EXPECT_FALSE(CAudio::IsFinished(d.m_Handle));
    Click(PlayX, ButtonY);
    EXPECT_FALSE(d.m_Paused);
    Click(PlayX, ButtonY);
    EXPECT_TRUE(d.m_Paused);
    Click(NextX, ButtonY);
    EXPECT_FALSE(d.m_Paused);
    EXPECT_EQ(d.m_TrackIndex, 1);
}

TEST_F(MusicDiskTest, PlayPauseWithoutATrackDoesNotCrash)
{
    CMusicDisk& d = Create();
    Frame(PlayX, ButtonY, true);
    // The missing track also moved on in that frame, which clears the pause.
    EXPECT_FALSE(d.m_Paused);
    EXPECT_EQ(d.m_TrackIndex, 1);
}

TEST_F(MusicDiskTest, LongFrameScrollsSixteenPixels)
{
    REQUIRE_TRACKS(1);
    CMusicDisk& d = Create();
    Frame(0, 0, false, 0.25f);
    // Four spaces of 5 pixels leave: -16 + 20 = 4 pixels kept.
    EXPECT_FLOAT_EQ(d.m_ScrollOffset, 4.0f);
    EXPECT_EQ(std::string(d.m_Ticker).substr(165), std::string(g_TrackDescriptions[0], 4));
    EXPECT_EQ(d.m_TextSource, g_TrackDescriptions[0] + 4);
    EXPECT_EQ(std::string(d.m_Ticker).size(), 169u);
}

TEST_F(MusicDiskTest, TextRepeatsWithoutItsLastCharacter)
{
    REQUIRE_TRACKS(1);
    CMusicDisk& d = Create();
    const std::string text = g_TrackDescriptions[0];
    const size_t period = text.size() - 1;
    std::string stream(169, ' ');
    size_t taken = 0;
    size_t last = 0;
    for (int frame = 0; frame < 1500; ++frame)
    {
        Frame(0, 0, false, 0.1f);
        const size_t now = static_cast<size_t>(d.m_TextSource - g_TrackDescriptions[0]);
        ASSERT_LT(now, period) << frame;
        taken += (now + period - last) % period;
        last = now;
        while (stream.size() < 169 + taken)
            stream += text[(stream.size() - 169) % period];
        ASSERT_EQ(std::string(d.m_Ticker), stream.substr(taken)) << frame;
    }
    EXPECT_GT(taken, 2 * period);
    EXPECT_FALSE(d.m_TextChanging);
}

TEST_F(MusicDiskTest, FadeIgnoresASecondChangeAndTakesTheCurrentText)
{
    REQUIRE_TRACKS(1, 2, 3);
    CMusicDisk& d = Create();
    Frame(NextX, ButtonY, true, 0.25f);
    EXPECT_TRUE(d.m_TextChanging);
    EXPECT_FLOAT_EQ(d.m_TextAlpha, 0.75f);
    Frame(NextX, ButtonY, false, 0.25f);
    Frame(NextX, ButtonY, true, 0.25f);  // second change at alpha 0.5
    EXPECT_EQ(d.m_TrackIndex, 2);
    EXPECT_FLOAT_EQ(d.m_TextAlpha, 0.25f);
    // Still scrolling the old text in.
    const size_t old = OffsetIn(g_TrackDescriptions[0], d.m_TextSource);
    ASSERT_NE(old, std::string::npos);
    ASSERT_GT(old, 0u);
    EXPECT_EQ(std::string(d.m_Ticker), std::string(169 - old, ' ') + std::string(g_TrackDescriptions[0], old));
    Frame(NextX, ButtonY, false, 0.25f);
    EXPECT_FALSE(d.m_TextChanging);
    EXPECT_FLOAT_EQ(d.m_TextAlpha, 1.0f);
    // The line restarted empty with the text of the track current now, and
    // the same frame's 16 pixels brought in its first characters.
    const size_t entered = OffsetIn(g_TrackDescriptions[2], d.m_TextSource);
    ASSERT_EQ(entered, 4u);
    EXPECT_EQ(std::string(d.m_Ticker), std::string(165, ' ') + std::string(g_TrackDescriptions[2], 4));
}

TEST_F(MusicDiskTest, CameraCirclesTheBlobAlongItsPathThroughShowTime)
{
    CMusicDisk& d = Create();
    const double degree = 3.14159265358979 / 180.0;
    for (double t : {0.0, 7.5, 31.0, 123.4})
    {
        g_TimeMs = t * 1000.0;
        d.Update(0.0f);
        // Two units from the centre at a pitch that swings up to 45 degrees
        // and a yaw that winds up with time, looking at a focus that wanders
        // a quarter unit about a point below the centre.
        const double pitch = 45.0 * degree * std::sin(0.13 * t) * std::sin(0.19 * t);
        const double yaw = 0.1 * t * std::sin(0.1 * t);
        const CCamera& c = *d.m_Camera;
        EXPECT_NEAR(c.m_Pos.x, 2.0 * std::cos(pitch) * std::sin(yaw), 1e-4) << t;
        EXPECT_NEAR(c.m_Pos.y, -2.0 * std::sin(pitch), 1e-4) << t;
        EXPECT_NEAR(c.m_Pos.z, -2.0 * std::cos(pitch) * std::cos(yaw), 1e-4) << t;
        EXPECT_NEAR(c.m_Focus.x, 0.25 * std::sin(0.16 * t), 1e-5) << t;
        EXPECT_FLOAT_EQ(c.m_Focus.y, -0.7f) << t;
        EXPECT_NEAR(c.m_Focus.z, 0.25 * std::sin(0.12 * t), 1e-5) << t;
        // The view in force is the look-at of this frame's position and
        // focus: the eye at the origin, the focus straight ahead on -z, no roll.
        const D3DXMATRIX& v = c.m_View;
        auto viewed = [&v](const D3DXVECTOR3& p, int k) {
            return p.x * v[0][k] + p.y * v[1][k] + p.z * v[2][k] + v[3][k];
        };
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(viewed(c.m_Pos, k), 0.0f, 1e-5f) << t;
        EXPECT_NEAR(viewed(c.m_Focus, 0), 0.0f, 1e-5f) << t;
        EXPECT_NEAR(viewed(c.m_Focus, 1), 0.0f, 1e-5f) << t;
        EXPECT_LT(viewed(c.m_Focus, 2), -1.0f) << t;
        EXPECT_NEAR(v[1][0], 0.0f, 1e-6f) << t;
    }
    // At show time 0: straight in front, 2 units back, looking 0.7 down.
    g_TimeMs = 0.0;
    d.Update(0.0f);
    EXPECT_EQ(d.m_Camera->m_Pos, D3DXVECTOR3(0.0f, 0.0f, -2.0f));
}

TEST_F(MusicDiskTest, GrooveVolumeIsHeardFromTheFollowingFrame)
{
    CMusicDisk& d = Create();
    auto gain = [](int volume) { return std::pow(volume / 255.0f, 3.0f); };
    Frame(0, 0, false);
    EXPECT_NEAR(FSOUND_Test_MasterGain(), gain(216), 1e-6f);  // 0.85 of 255
    Frame(564, 380, true);  // the press itself sets nothing
    Frame(564, 380, true);  // held at the groove's left end
    EXPECT_EQ(d.m_Volume, 0.0f);
    EXPECT_NEAR(FSOUND_Test_MasterGain(), gain(216), 1e-6f);
    Frame(664, 380, true);  // the middle: 0 is heard now, 0.5 is only set
    EXPECT_EQ(FSOUND_Test_MasterGain(), 0.0f);
    EXPECT_EQ(d.m_Volume, 0.5f);
    Frame(0, 0, false);
    EXPECT_NEAR(FSOUND_Test_MasterGain(), gain(127), 1e-6f);
}

// Drawing. Draws are told apart by the texture bound before them.
namespace {

struct SDraw
{
    const void* m_Texture;
    const SRecordedCall* m_Call;
    int m_Rect = 0;  // which rectangle of the draw
    const float* Corner(int c) const { return VertexFloats(*m_Call, RectCornerVertex(*m_Call, m_Rect, c)); }
    float Left() const { return Corner(1)[0] + 0.5f; }
    float Top() const { return Corner(1)[1] + 0.5f; }
    float Width() const { return Corner(3)[0] - Corner(1)[0]; }
    float Height() const { return Corner(0)[1] - Corner(1)[1]; }
    uint32_t Color() const { return VertexColor(*m_Call, RectCornerVertex(*m_Call, m_Rect, 0), 16); }
};

// Each rectangle of the draws on its own (text is one draw of many).
std::vector<SDraw> Rects(const std::vector<SDraw>& draws)
{
    std::vector<SDraw> out;
    for (const SDraw& d : draws)
        for (int r = 0; r < RectCount(*d.m_Call); ++r)
            out.push_back({d.m_Texture, d.m_Call, r});
    return out;
}

std::vector<SDraw> DrawsWithTextures(const CRecordingDevice& device)
{
    std::vector<SDraw> out;
    const void* texture = nullptr;
    for (const SRecordedCall& c : device.m_Log)
    {
        if (c.m_Name == "SetTexture")
            texture = c.m_Pointer;
        else if (c.m_Name == "DrawPrimitiveUP")
            out.push_back({c.m_Text == "PosCol2D" ? nullptr : texture, &c});
    }
    return out;
}

std::vector<SDraw> With(const std::vector<SDraw>& draws, const CTexture* texture)
{
    std::vector<SDraw> out;
    for (const SDraw& d : draws)
        if (texture && d.m_Texture == texture->m_Texture)
            out.push_back(d);
    return out;
}

}  // namespace

class MusicDiskRenderTest : public MusicDiskTest
{
protected:
    void SetUp() override
    {
        MusicDiskTest::SetUp();
        for (uint32_t id : {226u, 227u, 229u})
        {
            auto t = id == 226 ? MakeImage(1, 16) : id == 227 ? MakeImage(8, 16) : MakeImage(32, 32);
            GetTexture(id) = t.get();
            m_Images.push_back(std::move(t));
        }
    }
    void TearDown() override
    {
        for (uint32_t id : {226u, 227u, 229u})
            GetTexture(id) = nullptr;
        m_Images.clear();
        MusicDiskTest::TearDown();
    }
    std::vector<SDraw> Render()
    {
        m_Device->ClearLog();
        m_Disk->Render();
        return DrawsWithTextures(*m_Device);
    }
    std::vector<std::unique_ptr<CTexture>> m_Images;
};

TEST_F(MusicDiskRenderTest, VolumeStripAndCap)
{
    CMusicDisk& d = Create();
    d.m_Volume = 0.0f;
    auto draws = Render();
    auto cap = With(draws, GetTexture(227));
    ASSERT_EQ(cap.size(), 1u);
    EXPECT_FLOAT_EQ(cap[0].Left(), 574.0f);
    EXPECT_FLOAT_EQ(cap[0].Width(), 8.0f);
    EXPECT_FLOAT_EQ(cap[0].Top(), 371.0f);
    auto strip = With(draws, GetTexture(226));
    ASSERT_EQ(strip.size(), 1u);
    EXPECT_FLOAT_EQ(strip[0].Width(), 0.0f);

    d.m_Volume = 1.0f;
    draws = Render();
    strip = With(draws, GetTexture(226));
    ASSERT_EQ(strip.size(), 1u);
    EXPECT_FLOAT_EQ(strip[0].Width(), 182.0f);
    EXPECT_FLOAT_EQ(With(draws, GetTexture(227))[0].Left(), 756.0f);

    d.m_Volume = 0.85f;
    draws = Render();
    EXPECT_FLOAT_EQ(With(draws, GetTexture(226))[0].Width(), 154.0f);
    EXPECT_FLOAT_EQ(With(draws, GetTexture(227))[0].Left(), 728.0f);
}

TEST_F(MusicDiskRenderTest, PauseIconReversesWithoutAJump)
{
    CMusicDisk& d = Create();
    g_PauseIconAlpha = 0.0f;
    g_DeltaTime = 0.05f;
    Render();
    auto draws = Render();
    auto icon = With(draws, GetTexture(229));
    ASSERT_EQ(icon.size(), 1u);
    EXPECT_EQ(VertexColor(*icon[0].m_Call, 0, 16), (uint32_t(int(0.4f * 255.0f)) << 24) | 0xFFFFFFu);
    EXPECT_FLOAT_EQ(icon[0].Left(), 136.0f);
    EXPECT_FLOAT_EQ(icon[0].Width(), 32.0f);
    d.m_Paused = true;
    draws = Render();
    EXPECT_NEAR(g_PauseIconAlpha, 0.2f, 1e-6f);
    EXPECT_EQ(VertexColor(*With(draws, GetTexture(229))[0].m_Call, 0, 16) >> 24, uint32_t(int(g_PauseIconAlpha * 255.0f)));
    Render();
    Render();
    EXPECT_EQ(g_PauseIconAlpha, 0.0f);
    d.m_Paused = false;
    for (int i = 0; i < 10; ++i)
        Render();
    EXPECT_EQ(g_PauseIconAlpha, 1.0f);
}

TEST_F(MusicDiskRenderTest, TrackNumberIsCentredAndTickerStartsLeftOfTheEdge)
{
    CMusicDisk& d = Create();
    d.m_TrackIndex = 0;
    d.m_Ticker[0] = 'A';
    d.m_ScrollOffset = 0.0f;
    g_Input.m_MouseX = 300;
    g_Input.m_MouseY = 200;
    const auto draws = Render();
    const auto glyphs = Rects(With(draws, m_Strip.get()));
    // "01" (8 + 4) x 6 = 72 wide, "00:00" five cells, "A" of the ticker.
    ASSERT_EQ(glyphs.size(), 2u + 5u + 1u);
    EXPECT_FLOAT_EQ(glyphs[0].Left(), 364.0f);
    EXPECT_FLOAT_EQ(glyphs[0].Top(), 332.0f);
    EXPECT_FLOAT_EQ(glyphs[0].Height(), 48.0f);
    EXPECT_FLOAT_EQ(glyphs[1].Left(), 364.0f + 48.0f);
    EXPECT_EQ(glyphs[0].Color(), 0xA0C0C0C0u);
    EXPECT_FLOAT_EQ(glyphs[2].Left(), 360.0f);  // 00:00, 80 pixels wide
    EXPECT_FLOAT_EQ(glyphs[2].Top(), 378.0f);
    EXPECT_EQ(glyphs[2].Color(), 0x40C0C0C0u);
    EXPECT_FLOAT_EQ(glyphs[7].Left(), -10.0f);
    EXPECT_FLOAT_EQ(glyphs[7].Top(), 53.0f);
    EXPECT_EQ(glyphs[7].Color(), 0xFF808080u);
    // The cursor comes last: black square, then white.
    ASSERT_GE(draws.size(), 2u);
    const SDraw& outer = draws[draws.size() - 2];
    const SDraw& inner = draws.back();
    EXPECT_EQ(outer.m_Texture, nullptr);
    EXPECT_FLOAT_EQ(VertexFloats(*outer.m_Call, 0)[0], 292.0f);
    EXPECT_FLOAT_EQ(VertexFloats(*outer.m_Call, 0)[1], 192.0f);
    EXPECT_EQ(VertexColor(*outer.m_Call, 0, 16), 0xFF000000u);
    EXPECT_FLOAT_EQ(VertexFloats(*inner.m_Call, 3)[0], 306.0f);
    EXPECT_EQ(VertexColor(*inner.m_Call, 0, 16), 0xFFFFFFFFu);

    d.m_TrackIndex = 10;  // "11" is narrower: (4 + 4) x 6 = 48
    const auto eleven = Rects(With(Render(), m_Strip.get()));
    EXPECT_FLOAT_EQ(eleven[0].Left(), 376.0f);
}

// ---------------------------------------------------------------- albums of the user's own

TEST_F(MusicDiskTest, PreviousOverAGapReachesTheEarlierDay)
{
    REQUIRE_TRACKS(1, 5);
    CMusicDisk& d = Create();
    Click(NextX, ButtonY);  // day 2 is missing: skipped forward to day 5
    for (int i = 0; i < 5 && d.m_TrackIndex != 4; ++i)
        Frame(0, 0, false);
    ASSERT_EQ(d.m_TrackIndex, 4);
    ASSERT_NE(d.m_Handle, nullptr);
    Click(PreviousX, ButtonY);  // day 4 is missing: skipped backward to day 1
    for (int i = 0; i < 5; ++i)
        Frame(0, 0, false);
    EXPECT_EQ(d.m_TrackIndex, 0);
    EXPECT_NE(d.m_Handle, nullptr);
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day1.mp3");
}

class OwnAlbumTest : public MusicDiskTest
{
protected:
    void TearDown() override
    {
        MusicDiskTest::TearDown();
        ReplaceAlbum(CAlbum());
    }
    // Tracks with the given tag texts, as a folder of the user's own; the
    // text is the title, by the artist when one is given.
    bool UseAlbum(std::vector<std::string> texts, std::vector<std::string> artists = {})
    {
        const std::string tone = ToneFile(30);
        if (tone.empty())
            return false;
        CAlbum album;
        album.m_DayNames = false;
        album.m_Folder = m_Dir;
        for (size_t i = 0; i < texts.size(); ++i)
        {
            const std::string path = m_Dir + "/own " + std::to_string(i + 1) + ".mp3";
            fs::copy_file(tone, path);
            const std::string artist = i < artists.size() ? artists[i] : "";
            album.m_Tracks.push_back({path, artist.empty() ? texts[i] : artist + ": " + texts[i], texts[i], artist, ""});
        }
        ReplaceAlbum(std::move(album));
        return true;
    }
};

TEST_F(OwnAlbumTest, WrapsAtItsOwnLengthAndShowsEachTracksText)
{
    if (!UseAlbum({"Ærø: Café", "Second One", "THIRD"}))
        GTEST_SKIP() << "needs sox and lame";
    CMusicDisk& d = Create();
    EXPECT_EQ(TrackFile(), m_Dir + "/own 1.mp3");
    EXPECT_EQ(std::string(d.m_TextSource).rfind("AERO: CAFE ", 0), 0u) << d.m_TextSource;
    Click(PreviousX, ButtonY);
    EXPECT_EQ(d.m_TrackIndex, 2);
    Click(NextX, ButtonY);
    EXPECT_EQ(d.m_TrackIndex, 0);
    Click(NextX, ButtonY);
    EXPECT_EQ(d.m_TrackIndex, 1);
    // The description fades out over a second, then the new text scrolls in.
    for (int i = 0; i < 70; ++i)
        Frame(0, 0, false);
    // The text of track 2, a few characters of it already scrolled in.
    const std::string rest = d.m_TextSource;
    EXPECT_TRUE(rest.size() > 20 && std::string("SECOND ONE ").find(rest.substr(0, 5)) != std::string::npos) << rest;
}

TEST_F(OwnAlbumTest, TheTerminalNamesEveryAlbumsTracksInTheirOwnText)
{
    REQUIRE_TRACKS(1);
    testing::internal::CaptureStderr();
    Create();
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("ORBA: playing 1 of 30: Tamm: Day 1\n"), std::string::npos) << said;

    // Only the ticker folds the text.
    ASSERT_TRUE(UseAlbum({"Группа крови", "Straße – Café"}, {"Кино"}));
    testing::internal::CaptureStderr();
    Frame(0, 0, false);
    Click(NextX, ButtonY);
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("ORBA: playing 1 of 2: Кино: Группа крови\n"), std::string::npos) << said;
    EXPECT_NE(said.find("ORBA: playing 2 of 2: Straße – Café\n"), std::string::npos) << said;
    ASSERT_EQ(m_Disk->m_Texts.size(), 2u);
    EXPECT_EQ(m_Disk->m_Texts[0].rfind("KINO: GRUPPA KROVI ", 0), 0u) << m_Disk->m_Texts[0];
}

TEST_F(OwnAlbumTest, ANewAlbumStartsAtItsFirstTrack)
{
    REQUIRE_TRACKS(1, 2, 3);
    CMusicDisk& d = Create();
    Click(NextX, ButtonY);
    Click(NextX, ButtonY);
    ASSERT_EQ(d.m_TrackIndex, 2);
    ASSERT_TRUE(UseAlbum({"One", "Two"}));  // as a drop on the window does
    Frame(0, 0, false);
    EXPECT_EQ(d.m_TrackIndex, 0);
    EXPECT_EQ(TrackFile(), m_Dir + "/own 1.mp3");
    ASSERT_NE(d.m_Handle, nullptr);
    // The old album's texts are gone; the ticker reads the new one's.
    for (int i = 0; i < 200; ++i)
        Frame(0, 0, false);
    EXPECT_NE(std::string(d.m_Ticker).find("ONE"), std::string::npos) << d.m_Ticker;
}

// ---------------------------------------------------------------- requests from keys and the desktop

TEST_F(MusicDiskTest, RequestsFromOutsideStopPlayAndSetTheVolume)
{
    REQUIRE_TRACKS(1, 2);
    CMusicDisk& d = Create();
    Frame(0, 0, false);
    EXPECT_TRUE(g_PlayerState.m_Present);
    EXPECT_EQ(g_PlayerState.m_Track, 1);
    EXPECT_EQ(g_PlayerState.m_Title, "Day 1");

    g_PlayerRequests.m_Flags = PlayerStop;
    Frame(0, 0, false);
    EXPECT_TRUE(d.m_Stopped);
    EXPECT_EQ(d.m_Handle, nullptr);
    // Stopped, nothing advances, however many frames pass.
    for (int i = 0; i < 5; ++i)
        Frame(0, 0, false);
    EXPECT_EQ(d.m_TrackIndex, 0);
    EXPECT_TRUE(g_PlayerState.m_Stopped);

    // Next while stopped chooses the track; Play starts it from its beginning.
    g_PlayerRequests.m_Flags = PlayerNext;
    Frame(0, 0, false);
    EXPECT_EQ(d.m_TrackIndex, 1);
    EXPECT_EQ(d.m_Handle, nullptr);
    g_PlayerRequests.m_Flags = PlayerPlay;
    Frame(0, 0, false);
    EXPECT_FALSE(d.m_Stopped);
    ASSERT_NE(d.m_Handle, nullptr);
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day2.mp3");

    g_PlayerRequests.m_Flags = PlayerPlayPause;
    Frame(0, 0, false);
    EXPECT_TRUE(d.m_Paused);
    g_PlayerRequests.m_Flags = PlayerPause;  // pausing twice keeps it paused
    Frame(0, 0, false);
    EXPECT_TRUE(d.m_Paused);
    g_PlayerRequests.m_Flags = PlayerPlayPause;
    Frame(0, 0, false);
    EXPECT_FALSE(d.m_Paused);

    g_PlayerRequests.m_SetVolume = 0.3f;
    g_PlayerRequests.m_VolumeStep = 0.05f;
    Frame(0, 0, false);
    EXPECT_FLOAT_EQ(d.m_Volume, 0.35f);
    g_PlayerRequests.m_VolumeStep = -2.0f;
    Frame(0, 0, false);
    EXPECT_EQ(d.m_Volume, 0.0f);
    EXPECT_EQ(g_PlayerState.m_Volume, 0.0f);
    // Taken once: the next frame asks nothing.
    EXPECT_EQ(g_PlayerRequests.m_Flags, 0u);
}

TEST_F(MusicDiskTest, SeeksMoveTheTrackKeepAPauseAndPastTheEndGoOn)
{
    REQUIRE_TRACKS(1, 2);
    CMusicDisk& d = Create();
    Frame(0, 0, false);
    g_PlayerRequests.m_SeekToMs = 20000;
    Frame(0, 0, false);
    // The time reads the new place at once: the knob and the desktop follow.
    EXPECT_NEAR(double(g_PlayerState.m_PositionMs), 20000.0, 50.0);
    EXPECT_EQ(g_PlayerState.m_Seeks, 1u);

    g_PlayerRequests.m_Flags = PlayerPause;
    Frame(0, 0, false);
    g_PlayerRequests.m_SeekByMs = -10000;
    Frame(0, 0, false);
    EXPECT_TRUE(d.m_Paused);
    EXPECT_NEAR(double(g_PlayerState.m_PositionMs), 10000.0, 50.0);
    g_PlayerRequests.m_Flags = PlayerPlay;
    Frame(0, 0, false);
    EXPECT_FALSE(d.m_Paused);
    EXPECT_NEAR(double(CAudio::GetTime(d.m_Handle)), 10000.0, 100.0);

    // Past the end: the track ends as it would have, and the next follows.
    g_PlayerRequests.m_SeekToMs = 45000;
    for (int i = 0; i < 300 && d.m_TrackIndex == 0; ++i)
    {
        Frame(0, 0, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(d.m_TrackIndex, 1);
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day2.mp3");
    EXPECT_LT(CAudio::GetTime(d.m_Handle), 5000u);
}

// ---------------------------------------------------------------- recording

TEST_F(MusicDiskTest, ARecordingStartsAtItsFirstDayWithThatDaysText)
{
    REQUIRE_TRACKS(1, 2, 3);
    g_PlayerOptions.m_FirstTrack = 2;
    CMusicDisk& d = Create();
    g_PlayerOptions.m_FirstTrack = 0;
    EXPECT_EQ(d.m_TrackIndex, 2);
    EXPECT_EQ(TrackFile(), "Tamm_songs\\tamm - day3.mp3");
    EXPECT_EQ(d.m_TextSource, g_TrackDescriptions[2]);
}

TEST_F(MusicDiskRenderTest, ARecordingDrawsNoCursor)
{
    Create();
    g_Input.m_MouseX = 300;
    g_Input.m_MouseY = 200;
    const auto shown = Render();
    g_PlayerOptions.m_HideCursor = true;
    const auto hidden = Render();
    g_PlayerOptions.m_HideCursor = false;
    // The same frame without the two squares of the cursor.
    ASSERT_EQ(hidden.size() + 2, shown.size());
    for (const SDraw& draw : hidden)
    {
        if (!draw.m_Texture && draw.m_Call)
        {
            EXPECT_NE(VertexFloats(*draw.m_Call, 0)[0], 292.0f);
        }
    }
}

TEST_F(MusicDiskRenderTest, EqualiserBarsAndTheirMirrorsStandOnRow592)
{
    REQUIRE_TRACKS(1);
    const auto bar = MakeImage(4, 4);
    GetTexture(224) = bar.get();
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 1);
    Create();
    // The bars come in one draw, six corners each: bottom left, top left,
    // bottom right, bottom right, top left, top right.
    auto corner = [](const SDraw& d, int bar, int corner) { return VertexFloats(*d.m_Call, 6 * bar + corner); };
    // Until the tone is heard, every bar is at its least (3).
    std::vector<SDraw> draws;
    float tallest = 0.0f;
    for (int i = 0; i < 200 && tallest <= 3.0f; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        draws = With(Render(), bar.get());
        ASSERT_EQ(draws.size(), 1u);
        ASSERT_EQ(draws[0].m_Call->m_B, 2u * 2u * EqualiserBarCount);  // triangles
        for (int b = 0; b < 2 * EqualiserBarCount; ++b)
            tallest = std::max(tallest, corner(draws[0], b, 0)[1] - corner(draws[0], b, 1)[1]);
    }
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), 0);
    GetTexture(224) = nullptr;
    EXPECT_GT(tallest, 100.0f);
    const SDraw& d = draws[0];
    for (int k = 0; k < EqualiserBarCount; ++k)
    {
        const float x = 8.0f + 5.0f * float(k);
        const float h = corner(d, 2 * k, 0)[1] - corner(d, 2 * k, 1)[1];
        EXPECT_EQ(std::fmod(h, 3.0f), 0.0f) << k;
        for (int b : {2 * k, 2 * k + 1})
        {
            const float left = b == 2 * k ? x : 800.0f - x - 5.0f;
            EXPECT_FLOAT_EQ(corner(d, b, 1)[0] + 0.5f, left) << b;
            EXPECT_FLOAT_EQ(corner(d, b, 5)[0] - corner(d, b, 1)[0], 4.0f) << b;
            EXPECT_FLOAT_EQ(corner(d, b, 1)[1] + 0.5f, 592.0f - h) << b;
            EXPECT_FLOAT_EQ(corner(d, b, 0)[1] + 0.5f, 592.0f) << b;
            // The 3-row texture repeats down the bar from its top: one
            // repeat every three pixels, the whole width.
            EXPECT_FLOAT_EQ(corner(d, b, 1)[5], 0.0f) << b;
            EXPECT_FLOAT_EQ(corner(d, b, 1)[6], 0.0f) << b;
            EXPECT_FLOAT_EQ(corner(d, b, 0)[6], h / 3.0f) << b;
            EXPECT_FLOAT_EQ(corner(d, b, 5)[5], 1.0f) << b;
        }
    }
}
