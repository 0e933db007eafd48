// What the player keeps between runs: the volume and the last album, read
// back at the next start, forgotten with --fresh, and never trusted when the
// file makes no sense.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/CommandLine.h"
#include "app/Remembered.h"
#include "audio/Album.h"
#include "musicdisk/Player.h"
#include "platform/settings/Settings.h"
#include "support/AudioTestFiles.h"
#include "support/Globals.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

class RememberedTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Old = fs::current_path();
        ResetProgramState();
        fs::remove(SettingsPath());
    }
    void TearDown() override
    {
        fs::current_path(m_Old);
        ResetProgramState();
        fs::remove(SettingsPath());
    }
    static SSettingsValues Kept()
    {
        SSettingsValues values;
        std::string why;
        ReadSettings(SettingsPath(), &values, &why);
        return values;
    }
    fs::path m_Old;
};

TEST_F(RememberedTest, TheVolumeIsWrittenOnceItStandsStillAndReadAtTheNextStart)
{
    LoadRemembered(false);
    EXPECT_LT(g_Remembered.m_Volume, 0.0f);  // a first run keeps nothing
    FollowVolume(g_PlayerOptions.m_Volume, 0);
    EXPECT_FALSE(fs::exists(SettingsPath()));  // the start value is no change

    // A drag: many values, one write, a second after the last.
    FollowVolume(0.5f, 100);
    FollowVolume(0.4f, 900);
    FollowVolume(0.4f, 1800);
    EXPECT_FALSE(fs::exists(SettingsPath()));
    EXPECT_EQ(g_PlayerOptions.m_Volume, 0.4f);  // a restart opens at it
    FollowVolume(0.4f, 1900);
    EXPECT_EQ(Kept(), (SSettingsValues{{"volume", "0.4"}}));

    // Quit in the middle of a change: written at the end.
    FollowVolume(0.25f, 2000);
    FlushRemembered();
    EXPECT_EQ(Kept(), (SSettingsValues{{"volume", "0.25"}}));

    LoadRemembered(false);
    EXPECT_EQ(g_Remembered.m_Volume, 0.25f);

    // A volume that makes no sense: nothing of the file is trusted.
    for (const char* bad : {"volume = loud\nalbum = /x\n", "volume = 7\n", "volume = nan\n"})
    {
        std::ofstream(SettingsPath()) << bad;
        LoadRemembered(false);
        EXPECT_LT(g_Remembered.m_Volume, 0.0f) << bad;
        EXPECT_TRUE(g_Remembered.m_Album.empty()) << bad;
    }
}

TEST_F(RememberedTest, TheLastAlbumPlaysWhenNoneIsNamedUntilFresh)
{
    const std::string dir = MakeTempDir("remembered-album");
    fs::copy_file(TestFile("short.wav").m_Path, dir + "/b.wav");
    fs::copy_file(TestFile("short.wav").m_Path, dir + "/a.wav");
    std::string why;
    // Named files are kept as given, made absolute.
    fs::current_path(dir);
    ASSERT_TRUE(ChooseAlbum({"b.wav", "a.wav"}, {}, "", &why)) << why;
    RememberAlbum({"b.wav", "a.wav"});
    EXPECT_EQ(Kept(), (SSettingsValues{{"album", dir + "/b.wav"}, {"album", dir + "/a.wav"}}));

    LoadRemembered(false);
    ReplaceAlbum(CAlbum());
    ASSERT_TRUE(ChooseAlbum({}, g_Remembered.m_Album, "", &why)) << why;
    ASSERT_EQ(g_Album.Count(), 2);
    EXPECT_EQ(g_Album.m_Tracks[0].m_Path, dir + "/b.wav");

    // A drop is kept too; gone by the next start, the default plays.
    DropAlbum({dir});
    LoadRemembered(false);
    EXPECT_EQ(g_Remembered.m_Album, std::vector<std::string>{dir});
    fs::current_path(m_Old);
    fs::remove_all(dir);
    const int serial = g_AlbumSerial;
    ASSERT_TRUE(ChooseAlbum({}, g_Remembered.m_Album, "", &why)) << why;
    EXPECT_EQ(g_AlbumSerial, serial);  // nothing found: the player opens on no album

    // Fresh: the defaults, and the file is gone.
    LoadRemembered(true);
    EXPECT_TRUE(g_Remembered.m_Album.empty());
    EXPECT_FALSE(fs::exists(SettingsPath()));
}

}  // namespace
