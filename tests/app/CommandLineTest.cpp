// The command line, the album it chooses, and albums dropped on the window.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/CommandLine.h"
#include "audio/Album.h"
#include "support/AudioTestFiles.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

bool Parse(std::vector<const char*> args, SCommandLine* line)
{
    args.insert(args.begin(), "orba");
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), line);
}

class AlbumChoiceTest : public ::testing::Test
{
protected:
    void SetUp() override { m_Old = fs::current_path(); }
    void TearDown() override
    {
        fs::current_path(m_Old);
        ReplaceAlbum(CAlbum());
    }
    fs::path m_Old;
};

TEST(CommandLineTest, OptionsAndTheGivenFoldersAndFiles)
{
    SCommandLine line;
    ASSERT_TRUE(Parse({"--windowed", "My Music", "1 caf\xC3\xA9.mp3", "--fresh"}, &line));
    EXPECT_EQ(line.m_Screen, ScreenWindowed);
    EXPECT_TRUE(line.m_Fresh);
    EXPECT_EQ(line.m_Album, (std::vector<std::string>{"My Music", "1 caf\xC3\xA9.mp3"}));
    ASSERT_TRUE(Parse({"--fullscreen", "--", "--odd name"}, &line));
    EXPECT_EQ(line.m_Screen, ScreenFullScreen);
    EXPECT_EQ(line.m_Album, std::vector<std::string>{"--odd name"});
    ASSERT_TRUE(Parse({"-h"}, &line));
    EXPECT_TRUE(line.m_Help);

    EXPECT_FALSE(Parse({"--nonsense"}, &line));
    EXPECT_EQ(line.m_Error, "unknown option --nonsense");
    EXPECT_FALSE(Parse({"a", ""}, &line));
}

TEST_F(AlbumChoiceTest, TheDefaultIsTheWorkingFoldersAlbumThenTheOneBesideTheProgram)
{
    const std::string dir = MakeTempDir("album-choice");
    fs::create_directories(dir + "/here/Tamm_songs");
    fs::create_directories(dir + "/program/Tamm_songs");
    fs::copy_file(TestFile("short.wav").m_Path, dir + "/program/Tamm_songs/only.wav");
    fs::current_path(dir + "/here");
    std::string why;
    // The working folder's album plays nothing: the program's own is next.
    ASSERT_TRUE(ChooseAlbum({}, {}, dir + "/program", &why));
    ASSERT_EQ(g_Album.Count(), 1);
    EXPECT_EQ(g_Album.m_Tracks[0].m_Path, dir + "/program/Tamm_songs/only.wav");

    // A day album in the working folder keeps its relative name.
    fs::copy_file(TestFile("cbr.mp3").m_Path, dir + "/here/Tamm_songs/tamm - day2.mp3");
    ASSERT_TRUE(ChooseAlbum({}, {}, dir + "/program", &why));
    EXPECT_TRUE(g_Album.m_DayNames);
    EXPECT_EQ(DayPath(g_Album.m_Folder, 2), "Tamm_songs\\tamm - day2.mp3");

    // A named folder that plays nothing is refused; a default that plays
    // nothing still opens the player.
    EXPECT_FALSE(ChooseAlbum({dir + "/here/nothing"}, {}, "", &why));
    fs::remove_all(dir + "/here/Tamm_songs");
    const int serial = g_AlbumSerial;
    EXPECT_TRUE(ChooseAlbum({}, {}, "", &why));
    EXPECT_EQ(g_AlbumSerial, serial);
}

TEST_F(AlbumChoiceTest, ADropReplacesTheAlbumUnlessNothingInItPlays)
{
    const std::string dir = MakeTempDir("album-drop-app");
    fs::copy_file(TestFile("short.wav").m_Path, dir + "/one.wav");
    fs::copy_file(TestFile("random.bin").m_Path, dir + "/junk.mp3");
    const int serial = g_AlbumSerial;
    DropAlbum({dir + "/junk.mp3"});
    EXPECT_EQ(g_AlbumSerial, serial);  // refused: the album plays on
    DropAlbum({dir});
    EXPECT_EQ(g_AlbumSerial, serial + 1);
    ASSERT_EQ(g_Album.Count(), 1);
    DropAlbum({dir + "/one.wav", dir + "/junk.mp3"});
    EXPECT_EQ(g_AlbumSerial, serial + 2);
    EXPECT_EQ(g_Album.m_Tracks[0].m_Path, dir + "/one.wav");
}

}  // namespace
