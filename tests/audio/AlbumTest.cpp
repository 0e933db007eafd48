// Albums of the user's own: which files are days and in what order, what
// their tags say, and how bad folders and files are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/Album.h"
#include "support/AudioTestFiles.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A WAV whose LIST/INFO chunk names the title (INAM) and the artist (IART).
void WriteWavWithInfo(const std::string& path, const std::string& title, const std::string& artist)
{
    WriteFloatWav(path, 44100, std::vector<float>(44100, 0.25f));
    std::vector<uint8_t> wav = ReadBytes(path);
    auto field = [](const char* id, const std::string& text) {
        std::vector<uint8_t> f(id, id + 4);
        const uint32_t size = static_cast<uint32_t>(text.size() + 1);
        f.resize(8 + size + (size & 1), 0);
        Put32(f, 4, size);
        std::copy(text.begin(), text.end(), f.begin() + 8);
        return f;
    };
    std::vector<uint8_t> list = {'L', 'I', 'S', 'T', 0, 0, 0, 0, 'I', 'N', 'F', 'O'};
    for (const auto& f : {field("INAM", title), field("IART", artist)})
        list.insert(list.end(), f.begin(), f.end());
    Put32(list, 4, static_cast<uint32_t>(list.size() - 8));
    wav.insert(wav.end(), list.begin(), list.end());
    Put32(wav, 4, static_cast<uint32_t>(wav.size() - 8));
    WriteBytes(path, wav);
}

void Copy(const std::string& from, const std::string& to)
{
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

std::vector<std::string> Names(const CAlbum& album)
{
    std::vector<std::string> names;
    for (const SAlbumTrack& t : album.m_Tracks)
        names.push_back(fs::path(t.m_Path).filename().string());
    return names;
}

TEST(AlbumTest, NaturalOrderReadsNumbersAsNumbers)
{
    std::vector<std::string> names = {"track 10.ogg", "Track 2.ogg", "track 1.ogg", "b.wav", "A.wav",
                                      "disc2 track 01.mp3", "disc10 track 01.mp3", "007.mp3", "7b.mp3"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, (std::vector<std::string>{"007.mp3", "7b.mp3", "A.wav", "b.wav", "disc2 track 01.mp3",
                                               "disc10 track 01.mp3", "track 1.ogg", "Track 2.ogg",
                                               "track 10.ogg"}));
    EXPECT_FALSE(NaturalLess("x", "x"));
    // Long runs of digits do not overflow into a wrong order.
    EXPECT_TRUE(NaturalLess("99999999999999999999999", "100000000000000000000000"));
}

TEST(AlbumTest, AFolderPlaysItsAudioFilesInNaturalOrderAndLeavesTheRestOut)
{
    const std::string dir = MakeTempDir("album-order");
    const std::string wav = TestFile("tone44.wav").m_Path;
    Copy(wav, dir + "/10 last.wav");
    Copy(TestFile("tone44.ogg").m_Path, dir + "/2 second.ogg");
    Copy(TestFile("cbr.mp3").m_Path, dir + "/1 first.mp3");
    Copy(TestFile("song.mod").m_Path, dir + "/3 module.mod");
    Copy(TestFile("random.bin").m_Path, dir + "/4 noise.mp3");  // not audio, whatever its name
    Copy(TestFile("empty.mp3").m_Path, dir + "/5 empty.mp3");
    Copy(TestFile("cbr.mp3").m_Path, dir + "/cover.jpg");       // pictures are never opened
    WriteBytes(dir + "/notes.txt", {'h', 'i'});
    Copy(wav, dir + "/.hidden.wav");
    fs::create_directories(dir + "/6 a folder.wav");

    CAlbum album;
    std::string why;
    ASSERT_TRUE(ReadAlbumFolder(dir, &album, &why)) << why;
    EXPECT_FALSE(album.m_DayNames);
    EXPECT_EQ(Names(album), (std::vector<std::string>{"1 first.mp3", "2 second.ogg", "3 module.mod", "10 last.wav"}));
    EXPECT_EQ(album.Count(), 4);
}

TEST(AlbumTest, AtMostNinetyNineTracks)
{
    const std::string dir = MakeTempDir("album-cap");
    const std::string wav = TestFile("short.wav").m_Path;
    for (int i = 1; i <= 101; ++i)
        Copy(wav, dir + "/t" + std::to_string(i) + ".wav");
    CAlbum album;
    std::string why;
    ASSERT_TRUE(ReadAlbumFolder(dir, &album, &why)) << why;
    ASSERT_EQ(album.Count(), 99);
    EXPECT_EQ(Names(album).front(), "t1.wav");
    EXPECT_EQ(Names(album).back(), "t99.wav");
}

TEST(AlbumTest, TagsOfEveryKindNameTheTracks)
{
    if (!HaveCommand("lame") || !HaveCommand("sox"))
        GTEST_SKIP() << "needs lame and sox";
    const std::string dir = MakeTempDir("album-tags");
    const std::string wav = TestFile("tone44.wav").m_Path;
    ASSERT_EQ(RunCommand("lame --quiet --add-id3v2 --tt 'Café Noir' --ta 'Ærø Ensemble' --tl 'Harbour Lights' '" + wav + "' '" + dir +
                         "/a.mp3'"), 0);
    ASSERT_EQ(RunCommand("sox '" + wav + "' -r 48000 --add-comment 'TITLE=Night Drive' --add-comment "
                         "'ARTIST=Straße' --add-comment 'ALBUM=Harbour Lights' '" + dir + "/b.ogg'"), 0);
    ASSERT_EQ(RunCommand("sox '" + wav + "' -r 48000 --add-comment 'TITLE=Rain' '" + dir + "/c.flac'"), 0);
    WriteWavWithInfo(dir + "/d.wav", "Low Tide", "Harbour");
    std::vector<uint8_t> module = MakeModule();
    const char title[] = "Tracker Days";
    std::fill(module.begin(), module.begin() + 20, 0);
    std::copy(title, title + sizeof(title) - 1, module.begin());
    WriteBytes(dir + "/e.mod", module);
    Copy(wav, dir + "/f untagged name.wav");

    CAlbum album;
    std::string why;
    ASSERT_TRUE(ReadAlbumFolder(dir, &album, &why)) << why;
    std::vector<std::string> texts;
    for (const SAlbumTrack& t : album.m_Tracks)
        texts.push_back(t.m_Text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Ærø Ensemble: Café Noir", "Straße: Night Drive", "Rain",
                                               "Harbour: Low Tide", "Tracker Days", "f untagged name"}));
    // The album the tags name, where those that name one agree; else the folder.
    EXPECT_EQ(album.Name(), "Harbour Lights");
    ASSERT_EQ(RunCommand("lame --quiet --add-id3v2 --tl 'Other' '" + wav + "' '" + dir + "/g.mp3'"), 0);
    ASSERT_TRUE(ReadAlbumFolder(dir, &album, &why)) << why;
    EXPECT_EQ(album.Name(), "album-tags");
}

TEST(AlbumTest, BadFoldersAndNamesAreRefusedOrSkipped)
{
    CAlbum album;
    std::string why;
    EXPECT_FALSE(ReadAlbumFolder("/no/such/folder", &album, &why));
    EXPECT_NE(why.find("no such folder"), std::string::npos) << why;

    const std::string empty = MakeTempDir("album-empty");
    WriteBytes(empty + "/readme.txt", {'x'});
    EXPECT_FALSE(ReadAlbumFolder(empty, &album, &why));
    EXPECT_NE(why.find("nothing there can be played"), std::string::npos) << why;
    EXPECT_FALSE(ReadAlbumFolder(TestFile("tone44.wav").m_Path, &album, &why));  // a file, not a folder

    // Odd names play; one the sound layer would split at '\' is left out;
    // an unreadable file is skipped. A newline never reaches the message.
    const std::string dir = MakeTempDir("album-names");
    const std::string wav = TestFile("short.wav").m_Path;
    Copy(wav, dir + "/line\nbreak.wav");
    Copy(wav, dir + "/bad \xff\xfe utf8.wav");
    Copy(wav, dir + "/back\\slash.wav");
    Copy(wav, dir + "/locked.wav");
    chmod((dir + "/locked.wav").c_str(), 0);
    const bool rootReadsAnyway = access((dir + "/locked.wav").c_str(), R_OK) == 0;
    ASSERT_TRUE(ReadAlbumFolder(dir, &album, &why)) << why;
    std::vector<std::string> expected = {"bad \xff\xfe utf8.wav", "line\nbreak.wav"};
    if (rootReadsAnyway)
        expected.push_back("locked.wav");
    EXPECT_EQ(Names(album), expected);

    fs::remove_all(dir);
    EXPECT_FALSE(ReadAlbumFolder(dir, &album, &why));
    EXPECT_EQ(why.find('\n'), std::string::npos);
}

TEST(AlbumTest, DayNamesMakeTheDayAlbum)
{
    const std::string dir = MakeTempDir("album-days");
    Copy(TestFile("cbr.mp3").m_Path, dir + "/tamm - day5.mp3");
    Copy(TestFile("tone44.wav").m_Path, dir + "/extra.wav");
    CAlbum album;
    std::string why;
    ASSERT_TRUE(ReadAlbumFolder(dir, &album, &why)) << why;
    EXPECT_TRUE(album.m_DayNames);
    EXPECT_EQ(album.Count(), 30);
    EXPECT_EQ(DayPath(album.m_Folder, 5), dir + "\\tamm - day5.mp3");

    // Day names that do not play are no album.
    const std::string broken = MakeTempDir("album-days-broken");
    Copy(TestFile("random.bin").m_Path, broken + "/tamm - day1.mp3");
    EXPECT_FALSE(ReadAlbumFolder(broken, &album, &why));
}

TEST(AlbumTest, GivenFilesAndFoldersPlayInTheGivenOrder)
{
    const std::string dir = MakeTempDir("album-given");
    fs::create_directories(dir + "/folder");
    Copy(TestFile("short.wav").m_Path, dir + "/b 10.wav");
    Copy(TestFile("short.wav").m_Path, dir + "/b 9.wav");
    Copy(TestFile("short.wav").m_Path, dir + "/folder/2 two.wav");
    Copy(TestFile("short.wav").m_Path, dir + "/folder/10 ten.wav");
    // A day file inside a folder among others makes no day album.
    Copy(TestFile("cbr.mp3").m_Path, dir + "/folder/tamm - day1.mp3");
    WriteBytes(dir + "/a.txt", {'x'});
    WriteBytes(dir + "/empty.mp3", {});
    Copy(TestFile("random.bin").m_Path, dir + "/noise.mp3");
    CAlbum album;
    std::string why;
    // Files as given (not sorted), a folder's files in natural order where
    // it stands; what cannot play is left out.
    ASSERT_TRUE(ReadAlbumPaths({dir + "/b 10.wav", dir + "/a.txt", dir + "/folder", dir + "/gone.wav",
                                dir + "/b 9.wav"},
                               &album, &why))
        << why;
    EXPECT_FALSE(album.m_DayNames);
    EXPECT_EQ(Names(album), (std::vector<std::string>{"b 10.wav", "2 two.wav", "10 ten.wav", "tamm - day1.mp3",
                                                      "b 9.wav"}));
    EXPECT_EQ(album.Name(), "album-given");

    // One file is an album of one; one that cannot play is refused for its
    // own reason.
    ASSERT_TRUE(ReadAlbumPaths({dir + "/b 9.wav"}, &album, &why));
    EXPECT_EQ(album.Count(), 1);
    const std::pair<std::string, std::string> refused[] = {
        {"a.txt", "not music"},          {"gone.wav", "no such file or folder"}, {"empty.mp3", "empty"},
        {"noise.mp3", "not music ORBA can play"}, {"folder/../a.txt", "not music"}};
    for (const auto& [name, reason] : refused)
    {
        EXPECT_FALSE(ReadAlbumPaths({dir + "/" + name}, &album, &why)) << name;
        EXPECT_NE(why.find(reason), std::string::npos) << name << ": " << why;
    }
    EXPECT_FALSE(ReadAlbumPaths({dir + "/a.txt", dir + "/noise.mp3"}, &album, &why));
}

}  // namespace
