// The settings file: what is written reads back, every bad file reads as
// nothing (never a crash), and a writer killed before its rename leaves the
// old file whole.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/settings/Settings.h"
#include "platform/settings/SettingsHooks.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Spit(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

const SSettingsValues Odd = {
    {"volume", "0.55"},
    {"album", "/music/caf\xC3\xA9 = bar/1 \xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE.mp3"},
    {"album", "  spaces at both ends\\and a backslash  "},
    {"album", "a line\nbreak, a tab\tand a return\r"},
    {"album", ""},
    {"window.x", "-40"},
};

TEST(SettingsTest, WhatIsWrittenReadsBackInOrder)
{
    const std::string path = MakeTempDir("settings-round") + "/deep/er/orba/settings";
    std::string why;
    ASSERT_TRUE(WriteSettings(path, Odd, &why)) << why;
    SSettingsValues read;
    ASSERT_EQ(ReadSettings(path, &read, &why), SettingsRead) << why;
    EXPECT_EQ(read, Odd);
    // Plain text a user can read: one line a setting, nothing else left beside it.
    const std::string text = Slurp(path);
    EXPECT_NE(text.find("\nvolume = 0.55\n"), std::string::npos) << text;
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()), fs::directory_iterator()), 1);

    // Edited by hand: spaces, comments, blank lines and CR LF ends are fine.
    Spit(path, "# mine\r\n\r\n  volume=0.25  \r\nalbum =   /x\r\n");
    ASSERT_EQ(ReadSettings(path, &read, &why), SettingsRead) << why;
    EXPECT_EQ(read, (SSettingsValues{{"volume", "0.25"}, {"album", "/x"}}));

    ASSERT_TRUE(ForgetSettings(path, &why));
    EXPECT_EQ(ReadSettings(path, &read, &why), SettingsMissing);
    EXPECT_TRUE(ForgetSettings(path, &why));  // nothing to forget is no failure
}

TEST(SettingsTest, ThePlaceFollowsTheEnvironment)
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string saved = state ? state : "";
    setenv("XDG_STATE_HOME", "/st", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(SettingsPath(), "/st/orba/settings");
    setenv("XDG_STATE_HOME", "relative/not/allowed", 1);
    EXPECT_EQ(SettingsPath(), "/home/u/.local/state/orba/settings");
    unsetenv("XDG_STATE_HOME");
    unsetenv("HOME");
    EXPECT_EQ(SettingsPath(), "");
    SSettingsValues values;
    std::string why;
    EXPECT_EQ(ReadSettings("", &values, &why), SettingsMissing);
    EXPECT_FALSE(WriteSettings("", Odd, &why));
    setenv("XDG_STATE_HOME", saved.c_str(), 1);
}

TEST(SettingsTest, EveryBadFileReadsAsNothing)
{
    const std::string dir = MakeTempDir("settings-bad");
    const std::string path = dir + "/settings";
    std::string why;
    ASSERT_TRUE(WriteSettings(path, Odd, &why)) << why;
    const std::string whole = Slurp(path);
    SSettingsValues values;

    // Cut anywhere inside a line: refused. Cut at a line's end: the lines
    // before it, no more.
    for (size_t cut = 0; cut < whole.size(); ++cut)
    {
        Spit(path, whole.substr(0, cut));
        const ESettingsRead read = ReadSettings(path, &values, &why);
        if (cut > 0 && whole[cut - 1] == '\n')
            EXPECT_EQ(read, SettingsRead) << cut;
        else
        {
            EXPECT_EQ(read, SettingsBad) << cut;
            EXPECT_TRUE(values.empty()) << cut;
        }
    }

    const std::string garbled[] = {
        "volume 0.5\n",                      // no '='
        "= 0.5\n",                           // no name
        "vol ume = 0.5\n",                   // not a name
        "album = a\\q\n",                    // an escape that is none
        "album = a\\x4\n",                   // cut short
        std::string("volume = 0.5\0\n", 15), // not text
        "\x89PNG\r\n\x1A\n",                 // another file altogether
        std::string(2 << 20, '#') + "\n",    // far too large
    };
    for (const std::string& text : garbled)
    {
        Spit(path, text);
        EXPECT_EQ(ReadSettings(path, &values, &why), SettingsBad) << text.substr(0, 20);
        EXPECT_TRUE(values.empty());
        EXPECT_FALSE(why.empty());
    }

    // A folder where the file should be, and a file nobody may read.
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_EQ(ReadSettings(path, &values, &why), SettingsBad);
    EXPECT_FALSE(WriteSettings(path, Odd, &why));  // and the folder is left alone
    EXPECT_TRUE(fs::is_directory(path));
    fs::remove(path);
    Spit(path, "volume = 0.5\n");
    chmod(path.c_str(), 0);
    if (access(path.c_str(), R_OK) != 0)  // root reads anyway
    {
        EXPECT_EQ(ReadSettings(path, &values, &why), SettingsBad);
    }
    chmod(path.c_str(), 0600);
}

void KillNow()
{
    std::raise(SIGKILL);
}

TEST(SettingsTest, AWriterKilledBeforeItsRenameLeavesTheOldFileWhole)
{
    const std::string dir = MakeTempDir("settings-kill");
    const std::string path = dir + "/settings";
    std::string why;
    const SSettingsValues old = {{"volume", "0.3"}, {"album", "/old"}};
    ASSERT_TRUE(WriteSettings(path, old, &why)) << why;

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        g_SettingsBeforeRename = KillNow;
        std::string ignored;
        WriteSettings(path, Odd, &ignored);
        _exit(0);  // not reached
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    // The new text was complete beside it, and never replaced the old.
    const std::string temp = dir + "/settings.tmp." + std::to_string(child);
    ASSERT_TRUE(fs::exists(temp));
    SSettingsValues values;
    ASSERT_EQ(ReadSettings(path, &values, &why), SettingsRead) << why;
    EXPECT_EQ(values, old);

    // The next write goes through and clears what the dead writer left.
    ASSERT_TRUE(WriteSettings(path, Odd, &why)) << why;
    ASSERT_EQ(ReadSettings(path, &values, &why), SettingsRead) << why;
    EXPECT_EQ(values, Odd);
    EXPECT_FALSE(fs::exists(temp));
}

}  // namespace
