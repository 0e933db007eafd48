// The player on a real session bus (each test program runs under its own
// dbus-run-session): what playerctl and dbus-send see, what they can ask, and
// what is refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>

#include "platform/desktop/Mpris.h"
#include "support/TestEnv.h"

namespace {

// Runs a shell command on another thread while this one polls the bus (the
// command waits for our answers); its output, or "timeout".
std::string WhilePolling(const std::string& command, const SMprisState& state, SMprisCommands* commands)
{
    auto output = std::async(std::launch::async, [command] {
        std::string out;
        if (FILE* p = popen((command + " 2>&1").c_str(), "r"))
        {
            char buffer[512];
            while (std::fgets(buffer, sizeof(buffer), p))
                out += buffer;
            pclose(p);
        }
        return out;
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (output.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready)
    {
        Mpris_Poll(state, commands);
        if (std::chrono::steady_clock::now() > end)
            return "timeout";
    }
    Mpris_Poll(state, commands);
    return output.get();
}

SMprisState Playing()
{
    SMprisState s;
    s.m_Present = true;
    s.m_Playing = true;
    s.m_Volume = 0.85;
    s.m_PositionUs = 12'000'000;
    s.m_Track = 3;
    s.m_TrackCount = 30;
    s.m_LengthUs = 95'500'000;
    s.m_Title = "Café Noir";
    s.m_Artist = "Ærø Ensemble";
    s.m_Album = "ORBA";
    return s;
}

const std::string Get = "dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.orba "
                        "/org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.";

class MprisTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("DBUS_SESSION_BUS_ADDRESS") || !HaveCommand("playerctl") || !HaveCommand("dbus-send"))
            GTEST_SKIP() << "needs a session bus, playerctl and dbus-send";
        ASSERT_TRUE(Mpris_Open("orba"));
    }
    void TearDown() override { Mpris_Close(); }
};

TEST_F(MprisTest, ShellsSeeThePlayerItsTrackAndItsState)
{
    SMprisCommands c;
    const SMprisState s = Playing();
    EXPECT_NE(WhilePolling("playerctl -l", s, &c).find("orba"), std::string::npos);
    EXPECT_EQ(WhilePolling("playerctl -p orba metadata --format '{{title}}|{{artist}}|{{album}}|{{mpris:length}}'",
                           s, &c),
              "Café Noir|Ærø Ensemble|ORBA|95500000\n");
    EXPECT_EQ(WhilePolling("playerctl -p orba status", s, &c), "Playing\n");
    EXPECT_EQ(WhilePolling("playerctl -p orba position", s, &c).substr(0, 4), "12.0");
    std::string r = WhilePolling(Get + "Get string:org.mpris.MediaPlayer2 string:Identity", s, &c);
    EXPECT_NE(r.find("\"ORBA\""), std::string::npos) << r;
    r = WhilePolling(Get + "Get string:org.mpris.MediaPlayer2.Player string:CanSeek", s, &c);
    EXPECT_NE(r.find("boolean true"), std::string::npos) << r;
    r = WhilePolling(Get + "Get string:org.mpris.MediaPlayer2.Player string:Metadata", s, &c);
    EXPECT_NE(r.find("xesam:trackNumber"), std::string::npos) << r;
    EXPECT_NE(r.find("int32 3"), std::string::npos) << r;
    EXPECT_NE(r.find("/org/mpris/MediaPlayer2/orba/track/3"), std::string::npos) << r;

    SMprisState paused = s;
    paused.m_Playing = false;
    paused.m_Paused = true;
    EXPECT_EQ(WhilePolling("playerctl -p orba status", paused, &c), "Paused\n");
    SMprisState stopped = paused;
    stopped.m_Paused = false;
    EXPECT_EQ(WhilePolling("playerctl -p orba status", stopped, &c), "Stopped\n");
}

TEST_F(MprisTest, CommandsArriveAsTheyWereAsked)
{
    const SMprisState s = Playing();
    const struct
    {
        const char* m_Verb;
        uint32_t m_Flag;
    } cases[] = {{"next", MprisNext},   {"previous", MprisPrevious}, {"play-pause", MprisPlayPause},
                 {"pause", MprisPause}, {"play", MprisPlay},         {"stop", MprisStop}};
    for (const auto& k : cases)
    {
        SMprisCommands c;
        WhilePolling(std::string("playerctl -p orba ") + k.m_Verb, s, &c);
        EXPECT_EQ(c.m_Flags, k.m_Flag) << k.m_Verb;
    }
    SMprisCommands c;
    WhilePolling("playerctl -p orba volume 0.4", s, &c);
    EXPECT_DOUBLE_EQ(c.m_Volume, 0.4);
    c = SMprisCommands();
    WhilePolling("dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.orba /org/mpris/MediaPlayer2 "
                 "org.mpris.MediaPlayer2.Quit", s, &c);
    EXPECT_EQ(c.m_Flags, uint32_t(MprisQuit));
}

TEST_F(MprisTest, SeeksArriveAndAStaleTrackIsIgnored)
{
    const SMprisState s = Playing();
    SMprisCommands c;
    WhilePolling("playerctl -p orba position 30", s, &c);
    EXPECT_EQ(c.m_SetPositionUs, 30'000'000);
    c = SMprisCommands();
    WhilePolling("playerctl -p orba position 5+", s, &c);
    EXPECT_EQ(c.m_SeekUs, 5'000'000);
    EXPECT_EQ(c.m_SetPositionUs, -1);
    // SetPosition names the track it means: another one's id is ignored, and
    // so is a place past the end.
    const std::string set = "dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.orba "
                            "/org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Player.SetPosition ";
    c = SMprisCommands();
    WhilePolling(set + "objpath:/org/mpris/MediaPlayer2/orba/track/2 int64:1000000", s, &c);
    EXPECT_EQ(c.m_SetPositionUs, -1);
    WhilePolling(set + "objpath:/org/mpris/MediaPlayer2/orba/track/3 int64:99000000", s, &c);
    EXPECT_EQ(c.m_SetPositionUs, -1);
    WhilePolling(set + "objpath:/org/mpris/MediaPlayer2/orba/track/3 int64:1000000", s, &c);
    EXPECT_EQ(c.m_SetPositionUs, 1'000'000);
}

TEST_F(MprisTest, BadCallsAreRefusedAndVolumesClamped)
{
    const SMprisState s = Playing();
    const std::string set = Get + "Set string:org.mpris.MediaPlayer2.Player string:Volume ";
    SMprisCommands c;
    WhilePolling(set + "variant:double:1e300", s, &c);
    EXPECT_EQ(c.m_Volume, 1.0);
    c = SMprisCommands();
    WhilePolling(set + "variant:double:-5", s, &c);
    EXPECT_EQ(c.m_Volume, 0.0);
    c = SMprisCommands();
    std::string r = WhilePolling(set + "variant:double:nan", s, &c);
    EXPECT_NE(r.find("Error"), std::string::npos) << r;
    EXPECT_LT(c.m_Volume, 0.0);
    r = WhilePolling(set + "variant:string:loud", s, &c);
    EXPECT_NE(r.find("Error"), std::string::npos) << r;
    EXPECT_LT(c.m_Volume, 0.0);
    r = WhilePolling("dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.orba /org/mpris/MediaPlayer2 "
                     "org.mpris.MediaPlayer2.Player.Fly", s, &c);
    EXPECT_NE(r.find("UnknownMethod"), std::string::npos) << r;
    r = WhilePolling("dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.orba /org/mpris/MediaPlayer2 "
                     "org.mpris.MediaPlayer2.Player.Seek string:far", s, &c);
    EXPECT_NE(r.find("Error"), std::string::npos) << r;
    EXPECT_EQ(c.m_Flags, 0u);
    // The player still answers after all of it.
    EXPECT_EQ(WhilePolling("playerctl -p orba status", s, &c), "Playing\n");
}

TEST_F(MprisTest, ChangesAreSignalled)
{
    SMprisCommands c;
    SMprisState s = Playing();
    Mpris_Poll(s, &c);
    const std::string log = MakeTempDir("mpris-signals") + "/monitor.txt";
    const std::string monitor = "timeout 3 dbus-monitor --session "
                                "\"type='signal',interface='org.freedesktop.DBus.Properties'\" > '" + log + "' &";
    ASSERT_EQ(std::system(monitor.c_str()), 0);
    // Give the monitor its match before anything changes.
    WhilePolling("sleep 0.5", s, &c);
    s.m_Playing = false;
    s.m_Paused = true;
    s.m_Track = 4;
    s.m_Title = "Next One";
    s.m_Volume = 0.25;
    WhilePolling("sleep 3", s, &c);
    std::string out;
    if (FILE* f = std::fopen(log.c_str(), "r"))
    {
        char buffer[512];
        while (std::fgets(buffer, sizeof(buffer), f))
            out += buffer;
        std::fclose(f);
    }
    EXPECT_NE(out.find("PropertiesChanged"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Paused\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"Next One\""), std::string::npos) << out;
    EXPECT_NE(out.find("double 0.25"), std::string::npos) << out;
}

TEST_F(MprisTest, ASeekIsSignalledWithTheNewPosition)
{
    SMprisCommands c;
    SMprisState s = Playing();
    Mpris_Poll(s, &c);
    const std::string log = MakeTempDir("mpris-seeked") + "/monitor.txt";
    const std::string monitor = "timeout 20 dbus-monitor --session \"type='signal',member='Seeked'\" > '" + log + "' &";
    ASSERT_EQ(std::system(monitor.c_str()), 0);
    // Each new seek is signalled; seeks are made until the monitor, which
    // may take a moment to listen, has seen one.
    std::string out;
    for (int i = 0; i < 150 && out.find("int64 42000000") == std::string::npos; ++i)
    {
        ++s.m_Seeks;
        s.m_PositionUs = 42'000'000;
        WhilePolling("sleep 0.1", s, &c);
        out.clear();
        if (FILE* f = std::fopen(log.c_str(), "r"))
        {
            char buffer[512];
            while (std::fgets(buffer, sizeof(buffer), f))
                out += buffer;
            std::fclose(f);
        }
    }
    EXPECT_NE(out.find("member=Seeked"), std::string::npos) << out;
    EXPECT_NE(out.find("int64 42000000"), std::string::npos) << out;
}

TEST(MprisWithoutABus, SaysSoAndCarriesOn)
{
    const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string keep = saved ? saved : "";
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Mpris_Open("orba"));
    SMprisCommands c;
    Mpris_Poll(SMprisState(), &c);
    const std::string said = testing::internal::GetCapturedStderr();
    if (saved)
        setenv("DBUS_SESSION_BUS_ADDRESS", keep.c_str(), 1);
    EXPECT_EQ(c.m_Flags, 0u);
    EXPECT_NE(said.find("ORBA: desktop: no session bus"), std::string::npos) << said;
}

}  // namespace
