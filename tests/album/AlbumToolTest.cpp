// Runs the built orba-album and checks what it writes by decoding the mp3s
// with mpg123: exact lengths, determinism, distinct days, kept files, sane
// levels, refused arguments, and the album script's care for user files.
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kTool = ORBA_BINARY_DIR "/tools/album/orba-album";
const std::string kScript = ORBA_SOURCE_DIR "/scripts/make-album.sh";

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string DayFile(const std::string& dir, int day) { return dir + "/tamm - day" + std::to_string(day) + ".mp3"; }

int RunTool(const std::string& args, const std::string& log = "/dev/null")
{
    return RunCommand(Quote(kTool) + " " + args + " >" + Quote(log) + " 2>&1");
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct SPcm
{
    int m_Rate = 0, m_Channels = 0;
    std::vector<float> m_Left, m_Right;
    size_t Frames() const { return m_Left.size(); }
};

uint32_t Le32(const std::string& b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

// Decodes with mpg123, which honours the LAME tag's delay and padding.
bool Decode(const std::string& mp3, SPcm& pcm)
{
    std::string wav = mp3 + ".wav";
    if (RunCommand("mpg123 -q -w " + Quote(wav) + " " + Quote(mp3) + " 2>/dev/null") != 0)
        return false;
    std::string b = ReadBytes(wav);
    fs::remove(wav);
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0)
        return false;
    size_t at = 12;
    int bits = 0;
    while (at + 8 <= b.size()) {
        std::string id = b.substr(at, 4);
        uint32_t size = Le32(b, at + 4);
        size_t body = at + 8;
        if (id == "fmt " && body + 16 <= b.size()) {
            pcm.m_Channels = uint8_t(b[body + 2]) | uint8_t(b[body + 3]) << 8;
            pcm.m_Rate = int(Le32(b, body + 4));
            bits = uint8_t(b[body + 14]) | uint8_t(b[body + 15]) << 8;
        } else if (id == "data") {
            if (bits != 16 || pcm.m_Channels != 2)
                return false;
            size_t end = std::min(b.size(), body + size_t(size));
            for (size_t i = body; i + 4 <= end; i += 4) {
                auto sample = [&](size_t k) { return float(int16_t(uint16_t(uint8_t(b[k]) | uint8_t(b[k + 1]) << 8))) / 32768.0f; };
                pcm.m_Left.push_back(sample(i));
                pcm.m_Right.push_back(sample(i + 2));
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

double Peak(const SPcm& p)
{
    double peak = 0.0;
    for (size_t i = 0; i < p.Frames(); ++i)
        peak = std::max({peak, double(std::fabs(p.m_Left[i])), double(std::fabs(p.m_Right[i]))});
    return peak;
}

double RmsDb(const SPcm& p)
{
    double sum = 0.0;
    for (size_t i = 0; i < p.Frames(); ++i)
        sum += double(p.m_Left[i]) * p.m_Left[i] + double(p.m_Right[i]) * p.m_Right[i];
    return 10.0 * std::log10(std::max(sum / (2.0 * double(std::max<size_t>(p.Frames(), 1))), 1e-20));
}

void Fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> w = std::polar(1.0, -2.0 * M_PI / double(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wn = 1.0;
            for (size_t k = 0; k < len / 2; ++k, wn *= w) {
                auto u = a[i + k], v = a[i + k + len / 2] * wn;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// Average spectrum in 24 log-spaced bands from 40 Hz to 16 kHz, in dB,
// normalised to its own mean: a fingerprint of timbre and register.
std::vector<double> BandProfile(const SPcm& p)
{
    const size_t n = 4096;
    const int bands = 24;
    std::vector<double> energy(bands, 1e-12);
    for (size_t start = 0; start + n <= p.Frames(); start += n / 2) {
        std::vector<std::complex<double>> a(n);
        for (size_t i = 0; i < n; ++i) {
            double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(n));
            a[i] = w * 0.5 * (p.m_Left[start + i] + p.m_Right[start + i]);
        }
        Fft(a);
        for (size_t k = 1; k < n / 2; ++k) {
            double hz = double(k) * p.m_Rate / double(n);
            if (hz < 40.0 || hz >= 16000.0)
                continue;
            int band = int(bands * std::log(hz / 40.0) / std::log(16000.0 / 40.0));
            energy[size_t(band)] += std::norm(a[k]);
        }
    }
    std::vector<double> db(bands);
    double mean = 0.0;
    for (int b = 0; b < bands; ++b)
        mean += db[b] = 10.0 * std::log10(energy[b]);
    mean /= bands;
    for (double& d : db)
        d -= mean;
    return db;
}

class AlbumTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!fs::exists(kTool))
            GTEST_SKIP() << "orba-album not built at " << kTool;
        if (!HaveCommand("mpg123"))
            GTEST_SKIP() << "mpg123 not installed";
    }
};

TEST_F(AlbumTool, ShortPiecesDecodeToTheirStatedLengthWithALameTag)
{
    std::string dir = MakeTempDir("album_length");
    ASSERT_EQ(RunTool("--out " + Quote(dir) + " --seconds 3 --days 1-4"), 0);
    for (int day = 1; day <= 4; ++day) {
        SCOPED_TRACE(day);
        std::string bytes = ReadBytes(DayFile(dir, day));
        ASSERT_GT(bytes.size(), 1000u);
        // The first audio frame carries the Info/LAME tag decoders use for the exact length.
        std::string head = bytes.substr(0, std::min<size_t>(bytes.size(), 4096));
        EXPECT_NE(head.find("Info"), std::string::npos);
        EXPECT_NE(head.find("LAME"), std::string::npos);
        SPcm pcm;
        ASSERT_TRUE(Decode(DayFile(dir, day), pcm));
        EXPECT_EQ(pcm.m_Rate, 44100);
        EXPECT_NEAR(double(pcm.Frames()) / 44100.0, 3.0, 0.06);
    }
    EXPECT_FALSE(fs::exists(DayFile(dir, 5)));
    for (auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().extension(), ".mp3") << e.path() << " left behind";
}

TEST_F(AlbumTool, SameSeedGivesIdenticalBytesWhateverTheThreads)
{
    std::string a = MakeTempDir("album_same_a"), b = MakeTempDir("album_same_b"), c = MakeTempDir("album_same_c");
    ASSERT_EQ(RunTool("--out " + Quote(a) + " --seconds 3 --days 1-4 --jobs 2"), 0);
    ASSERT_EQ(RunTool("--out " + Quote(b) + " --seconds 3 --days 1-4 --jobs 1"), 0);
    ASSERT_EQ(RunTool("--out " + Quote(c) + " --seconds 3 --days 1-4 --seed 99"), 0);
    for (int day = 1; day <= 4; ++day) {
        SCOPED_TRACE(day);
        std::string x = ReadBytes(DayFile(a, day));
        ASSERT_FALSE(x.empty());
        EXPECT_TRUE(x == ReadBytes(DayFile(b, day)));
        EXPECT_FALSE(x == ReadBytes(DayFile(c, day))) << "the seed changes nothing";
    }
}

TEST_F(AlbumTool, DaysSoundDifferent)
{
    std::string dir = MakeTempDir("album_distinct");
    ASSERT_EQ(RunTool("--out " + Quote(dir) + " --seconds 4 --days 1-4"), 0);
    std::vector<std::vector<double>> profiles;
    std::vector<std::vector<float>> waves;
    for (int day = 1; day <= 4; ++day) {
        SPcm pcm;
        ASSERT_TRUE(Decode(DayFile(dir, day), pcm));
        profiles.push_back(BandProfile(pcm));
        waves.push_back(pcm.m_Left);
    }
    for (size_t i = 0; i < profiles.size(); ++i) {
        for (size_t j = i + 1; j < profiles.size(); ++j) {
            SCOPED_TRACE("days " + std::to_string(i + 1) + " and " + std::to_string(j + 1));
            EXPECT_FALSE(waves[i] == waves[j]);
            double distance = 0.0;
            for (size_t b = 0; b < profiles[i].size(); ++b)
                distance += std::fabs(profiles[i][b] - profiles[j][b]);
            // Mean difference per band of more than 1.5 dB: different sounds,
            // not the same piece with a little noise.
            EXPECT_GT(distance / double(profiles[i].size()), 1.5);
        }
    }
}

TEST_F(AlbumTool, DescribesThirtyDifferentPiecesOfDefaultLength)
{
    std::string log = MakeTempDir("album_list") + "/list.txt";
    ASSERT_EQ(RunTool("--list", log), 0);
    std::istringstream in(ReadBytes(log));
    std::string line;
    std::set<std::string> pieces, styles, tempos;
    int lines = 0;
    while (std::getline(in, line)) {
        ++lines;
        // "day N: style, BPM BPM, key mode, S s, ..."
        size_t colon = line.find(": "), bpm = line.find(" BPM, "), sec = line.find(" s, ");
        ASSERT_NE(colon, std::string::npos) << line;
        ASSERT_NE(bpm, std::string::npos) << line;
        ASSERT_NE(sec, std::string::npos) << line;
        size_t styleEnd = line.find(", ", colon + 2);
        size_t keyEnd = line.find(", ", bpm + 6);
        styles.insert(line.substr(colon + 2, styleEnd - colon - 2));
        tempos.insert(line.substr(styleEnd + 2, bpm - styleEnd - 2));
        pieces.insert(line.substr(colon + 2, keyEnd - colon - 2));
        double seconds = std::stod(line.substr(keyEnd + 2, sec - keyEnd - 2));
        EXPECT_GE(seconds, 60.0) << line;
        EXPECT_LE(seconds, 120.0) << line;
    }
    EXPECT_EQ(lines, 30);
    EXPECT_EQ(pieces.size(), 30u) << "two days share style, tempo, key and mode";
    EXPECT_GE(styles.size(), 8u);
    EXPECT_GE(tempos.size(), 15u);
}

TEST_F(AlbumTool, ExistingFilesAreNotRebuilt)
{
    std::string dir = MakeTempDir("album_keep");
    ASSERT_EQ(RunTool("--out " + Quote(dir) + " --seconds 2 --days 1-2"), 0);
    auto t1 = fs::last_write_time(DayFile(dir, 1));
    auto t2 = fs::last_write_time(DayFile(dir, 2));
    std::string b1 = ReadBytes(DayFile(dir, 1));
    // Different length and seed: a rebuild would change the bytes too.
    ASSERT_EQ(RunTool("--out " + Quote(dir) + " --seconds 3 --seed 5 --days 1-3"), 0);
    EXPECT_EQ(fs::last_write_time(DayFile(dir, 1)), t1);
    EXPECT_EQ(fs::last_write_time(DayFile(dir, 2)), t2);
    EXPECT_EQ(ReadBytes(DayFile(dir, 1)), b1);
    EXPECT_TRUE(fs::exists(DayFile(dir, 3)));
}

TEST_F(AlbumTool, AKilledRunLeavesNoHalfFileAndTheNextRunFinishes)
{
    std::string dir = MakeTempDir("album_killed");
    // Full-length pieces take long enough to be caught mid-way.
    std::string run = Quote(kTool) + " --out " + Quote(dir) + " --days 1-2 --jobs 2 >/dev/null 2>&1";
    ASSERT_EQ(RunCommand("( " + run + " & pid=$!; sleep 0.4; kill -9 $pid; wait $pid ) 2>/dev/null; true"), 0);
    for (int day = 1; day <= 2; ++day) {
        if (!fs::exists(DayFile(dir, day)))
            continue;
        // Whatever carries the real name is complete.
        SPcm pcm;
        ASSERT_TRUE(Decode(DayFile(dir, day), pcm));
        EXPECT_GE(double(pcm.Frames()) / 44100.0, 60.0);
    }
    // What a kill during encoding leaves: a partial hidden file.
    if (!fs::exists(DayFile(dir, 1)))
        std::ofstream(dir + "/.tamm - day1.mp3.part") << "half an mp3";
    ASSERT_EQ(RunCommand(run), 0);
    for (int day = 1; day <= 2; ++day) {
        SPcm pcm;
        ASSERT_TRUE(Decode(DayFile(dir, day), pcm));
        EXPECT_GE(double(pcm.Frames()) / 44100.0, 60.0);
    }
    for (auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().extension(), ".mp3") << e.path() << " left behind";
}

TEST_F(AlbumTool, AFullLengthDayIsMasteredLikeMusic)
{
    std::string dir = MakeTempDir("album_full");
    // Day 3 of the default seed is one of the shorter pieces.
    ASSERT_EQ(RunTool("--out " + Quote(dir) + " --days 3"), 0);
    SPcm pcm;
    ASSERT_TRUE(Decode(DayFile(dir, 3), pcm));
    double seconds = double(pcm.Frames()) / 44100.0;
    EXPECT_GE(seconds, 60.0);
    EXPECT_LE(seconds, 120.0);
    double peakDb = 20.0 * std::log10(Peak(pcm));
    EXPECT_LT(peakDb, -0.1);
    EXPECT_GT(peakDb, -3.0);
    double rms = RmsDb(pcm);
    EXPECT_GT(rms, -15.0);
    EXPECT_LT(rms, -9.0);
    // Beat and bass: the low end carries real energy.
    std::vector<double> profile = BandProfile(pcm);
    EXPECT_GT(profile[2] + profile[3], 0.0);
}

TEST_F(AlbumTool, ShortPiecesHaveSaneLevels)
{
    std::string dir = MakeTempDir("album_levels");
    ASSERT_EQ(RunTool("--out " + Quote(dir) + " --seconds 3 --days 5-8"), 0);
    for (int day = 5; day <= 8; ++day) {
        SCOPED_TRACE(day);
        SPcm pcm;
        ASSERT_TRUE(Decode(DayFile(dir, day), pcm));
        EXPECT_LT(Peak(pcm), 0.99);
        EXPECT_GT(RmsDb(pcm), -24.0);
    }
}

TEST_F(AlbumTool, BadArgumentsAreRefusedWithoutWriting)
{
    std::string dir = MakeTempDir("album_bad");
    std::string out = " --out " + Quote(dir + "/songs");
    for (const char* args : {"--days 0-3", "--days 5-2", "--days 31", "--days x", "--seconds 0", "--seconds abc",
                             "--seconds 3s", "--jobs 0", "--seed -1", "--frobnicate", "--days"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(RunTool(std::string(args) + out), 2);
    }
    EXPECT_FALSE(fs::exists(dir + "/songs"));
    std::ofstream(dir + "/file") << "x";
    EXPECT_EQ(RunTool("--out " + Quote(dir + "/file") + " --seconds 1 --days 1"), 1);
    EXPECT_EQ(ReadBytes(dir + "/file"), "x");
}

TEST_F(AlbumTool, ScriptCompletesTheFolderAndLeavesUserFilesAlone)
{
    std::string target = MakeTempDir("album_script");
    std::string songs = target + "/Tamm_songs";
    fs::create_directories(songs);
    std::ofstream(songs + "/my own song.mp3") << "mine";
    std::ofstream(DayFile(songs, 7)) << "a user's day 7";
    fs::create_symlink("nowhere", DayFile(songs, 9));
    std::string cmd = "bash " + Quote(kScript) + " " + Quote(kTool) + " " + Quote(target) + " --seconds 1 >/dev/null 2>&1";
    ASSERT_EQ(RunCommand(cmd), 0);
    EXPECT_EQ(ReadBytes(songs + "/my own song.mp3"), "mine");
    EXPECT_EQ(ReadBytes(DayFile(songs, 7)), "a user's day 7");
    EXPECT_TRUE(fs::is_symlink(DayFile(songs, 9)));
    EXPECT_EQ(fs::read_symlink(DayFile(songs, 9)), "nowhere");
    for (int day = 1; day <= 30; ++day) {
        if (day == 7 || day == 9)
            continue;
        EXPECT_GT(fs::file_size(DayFile(songs, day)), 1000u) << day;
    }
    size_t entries = size_t(std::distance(fs::directory_iterator(songs), fs::directory_iterator()));
    EXPECT_EQ(entries, 31u);

    // A complete folder is left exactly as it is.
    auto stamp = fs::last_write_time(DayFile(songs, 1));
    ASSERT_EQ(RunCommand(cmd), 0);
    EXPECT_EQ(fs::last_write_time(DayFile(songs, 1)), stamp);

    // A missing folder is created; a bad tool path is refused.
    std::string fresh = MakeTempDir("album_script_fresh");
    ASSERT_EQ(RunCommand("bash " + Quote(kScript) + " " + Quote(kTool) + " " + Quote(fresh) +
                         " --seconds 1 --days 1-2 >/dev/null 2>&1"), 0);
    EXPECT_TRUE(fs::exists(DayFile(fresh + "/Tamm_songs", 2)));
    EXPECT_NE(RunCommand("bash " + Quote(kScript) + " /nonexistent/orba-album " + Quote(fresh) + " >/dev/null 2>&1"), 0);
}

} // namespace
