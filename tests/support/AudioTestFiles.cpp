#include "support/AudioTestFiles.h"

#include "platform/FMOD.h"
#include "platform/sound/SoundHooks.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
std::string DataDir()
{
    const char* base = std::getenv("ORBA_TEST_TMP");
    fs::path dir = (base ? fs::path(base) : fs::path(ORBA_BINARY_DIR) / "test-tmp") / "audio-data";
    fs::create_directories(dir);
    return dir.string();
}

void Put16(std::vector<uint8_t>& out, size_t at, int value)
{
    out[at] = static_cast<uint8_t>(value >> 8);
    out[at + 1] = static_cast<uint8_t>(value);
}

void Append32LE(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// ID3v2.3 tag holding one APIC frame of `pictureBytes` bytes of picture.
std::vector<uint8_t> Id3v2WithPicture(size_t pictureBytes)
{
    // Text encoding 0, MIME type, picture type 3 (front cover), empty
    // description.
    const std::string head = std::string(1, '\0') + "image/png" + '\0' + '\3' + '\0';
    std::vector<uint8_t> frame(head.begin(), head.end());
    // A PNG signature, then bytes that contain frame syncs on purpose: the
    // decoder must skip the tag by its size, not hunt through it.
    const uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    frame.insert(frame.end(), png, png + sizeof(png));
    uint32_t state = 12345;
    for (size_t i = sizeof(png); i < pictureBytes; ++i)
    {
        state = state * 1103515245u + 12345u;
        frame.push_back(i % 997 == 0 ? 0xFF : static_cast<uint8_t>(state >> 16));
    }
    const uint8_t header[] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0, 'A', 'P', 'I', 'C'};
    std::vector<uint8_t> tag(header, header + sizeof(header));
    uint32_t size = static_cast<uint32_t>(frame.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        tag.push_back(static_cast<uint8_t>(size >> shift)); // v2.3 frame sizes are plain big-endian
    tag.push_back(0);
    tag.push_back(0);
    tag.insert(tag.end(), frame.begin(), frame.end());
    // Some padding, as taggers leave.
    tag.insert(tag.end(), 1024, 0);
    uint32_t body = static_cast<uint32_t>(tag.size() - 10);
    for (int i = 0; i < 4; ++i)
        tag[6 + i] = static_cast<uint8_t>((body >> (7 * (3 - i))) & 0x7F); // synchsafe
    return tag;
}

std::vector<uint8_t> Id3v1()
{
    std::vector<uint8_t> tag(128, 0);
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    const char title[] = "Test tone";
    std::copy(title, title + sizeof(title) - 1, tag.begin() + 3);
    tag[127] = 255;
    return tag;
}

std::vector<float> MusicLike(int rate, double seconds)
{
    // A pop-like mix at 120 beats a minute: kick on every beat, snare on 2
    // and 4, hi-hat on the off-beats, a bass line, a bright sawtooth lead
    // over a chord pad, and a pink-noise bed standing for reverb and
    // everything else; then limited and brought to a mastered level (peak
    // 0.95, loud as a modern master).
    const int frames = static_cast<int>(rate * seconds);
    std::vector<float> out(static_cast<size_t>(frames) * 2);
    const double beat = 0.5;
    const double bass[] = {55.0, 55.0, 65.41, 49.0};
    const double chords[][3] = {{220.0, 261.63, 329.63}, {196.0, 246.94, 293.66}};
    const double melody[] = {659.26, 587.33, 523.25, 587.33, 659.26, 783.99, 659.26, 523.25};
    uint32_t noise = 1;
    double pink[7] = {};
    double leadPhase = 0;
    for (int i = 0; i < frames; ++i)
    {
        double t = static_cast<double>(i) / rate;
        double inBeat = std::fmod(t, beat);
        int beatIndex = static_cast<int>(t / beat);
        noise = noise * 1664525u + 1013904223u;
        double white = static_cast<double>(noise >> 8) / (1 << 24) * 2 - 1;
        // Paul Kellet's pink filter.
        pink[0] = 0.99886 * pink[0] + white * 0.0555179;
        pink[1] = 0.99332 * pink[1] + white * 0.0750759;
        pink[2] = 0.96900 * pink[2] + white * 0.1538520;
        pink[3] = 0.86650 * pink[3] + white * 0.3104856;
        pink[4] = 0.55000 * pink[4] + white * 0.5329522;
        pink[5] = -0.7616 * pink[5] - white * 0.0168980;
        double pinkNoise = (pink[0] + pink[1] + pink[2] + pink[3] + pink[4] + pink[5] + pink[6] + white * 0.5362) * 0.11;
        pink[6] = white * 0.115926;

        double kick = std::sin(2 * M_PI * (50.0 * inBeat + 40.0 * (1 - std::exp(-inBeat * 30)) / 30)) *
                      std::exp(-inBeat * 8);
        double snare = (beatIndex % 2 == 1) ? (0.6 * white + 0.4 * std::sin(2 * M_PI * 190 * inBeat)) *
                                                  std::exp(-inBeat * 18)
                                            : 0.0;
        double hat = white * std::exp(-std::fmod(t + beat / 2, beat) * 25);
        double f = bass[(beatIndex / 2) % 4];
        double bassWave = 0;
        for (int h = 1; h <= 8; ++h)
            bassWave += std::sin(2 * M_PI * f * h * t) / h;
        const double* chord = chords[(beatIndex / 4) % 2];
        double pad = 0;
        for (int n = 0; n < 3; ++n)
            for (int h = 1; h <= 6; ++h)
                pad += std::sin(2 * M_PI * chord[n] * h * t + n) / (h * h);
        // Band-limited sawtooth lead with a little vibrato.
        double lf = melody[(beatIndex) % 8] * (1 + 0.004 * std::sin(2 * M_PI * 5 * t));
        leadPhase += 2 * M_PI * lf / rate;
        double lead = 0;
        for (int h = 1; h * lf < 16000; ++h)
            lead += std::sin(h * leadPhase) / h;
        lead *= 0.5 + 0.5 * std::exp(-inBeat * 4);
        double mono = 0.8 * kick + 0.3 * snare + 0.12 * hat + 0.3 * bassWave + 0.08 * pad + 0.12 * lead +
                      0.25 * pinkNoise;
        out[i * 2] = static_cast<float>(mono + 0.02 * pinkNoise);
        out[i * 2 + 1] = static_cast<float>(mono - 0.02 * pinkNoise);
    }
    // Limited hard, as masters are, then the peak normalised.
    float peak = 0;
    for (float& s : out)
    {
        s = std::tanh(s * 2.0f);
        peak = std::max(peak, std::fabs(s));
    }
    double energy = 0;
    for (float& s : out)
    {
        s *= 0.95f / peak;
        energy += s * s;
    }
    std::printf("music-like signal: RMS %.1f dBFS\n", 10 * std::log10(energy / out.size()));
    return out;
}

void Run(const std::string& command)
{
    ASSERT_EQ(RunCommand(command), 0) << command;
}

// Makes `name` in the data folder unless it is there already; written under
// a temporary name and renamed, so that test programs running side by side
// never see half a file.
CTestFile Make(const std::string& name)
{
    const std::string dir = DataDir();
    const std::string path = dir + "/" + name;
    const std::string tmp = dir + "/tmp-" + std::to_string(getpid()) + "-" + name;
    CTestFile file;
    file.m_Path = path;
    auto tone = [&](int rate, int channels, double seconds) {
        file.m_Rate = rate;
        file.m_Frames = std::llround(rate * seconds);
        return "sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " ";
    };
    auto fromOther = [&](const std::string& other) { return TestFile(other).m_Path; };
    std::string command;
    std::vector<uint8_t> bytes;
    bool haveBytes = false;
    if (name == "tone44.wav")
        command = tone(44100, 2, 1.5) + "-b 16 '" + tmp + "' synth 1.5 sine 440 vol 0.5";
    else if (name == "short.wav")
        command = tone(44100, 2, 0.5) + "-b 16 '" + tmp + "' synth 0.5 sine 660 vol 0.5";
    else if (name == "tone44.flac" || name == "tone44.ogg")
    {
        std::string src = fromOther("tone44.wav");
        file.m_Rate = 44100;
        file.m_Frames = 66150;
        command = "sox '" + src + "' -t " + name.substr(7) + " '" + tmp + "'";
    }
    else if (name == "cbr.mp3")
    {
        std::string src = fromOther("tone44.wav");
        file.m_Rate = 44100;
        file.m_Frames = 66150;
        command = "lame --quiet -b 128 '" + src + "' '" + tmp + "'";
    }
    else if (name == "vbr.mp3")
    {
        std::string src = fromOther("tone44.wav");
        file.m_Rate = 44100;
        file.m_Frames = 66150;
        command = "lame --quiet -V 4 '" + src + "' '" + tmp + "'";
    }
    else if (name == "vbr_picture.mp3")
    {
        CTestFile vbr = TestFile("vbr.mp3");
        file.m_Rate = vbr.m_Rate;
        file.m_Frames = vbr.m_Frames;
        bytes = Id3v2WithPicture(200 * 1024);
        std::vector<uint8_t> audio = ReadBytes(vbr.m_Path);
        bytes.insert(bytes.end(), audio.begin(), audio.end());
        std::vector<uint8_t> v1 = Id3v1();
        bytes.insert(bytes.end(), v1.begin(), v1.end());
        haveBytes = true;
    }
    else if (name == "mono48.wav")
        command = tone(48000, 1, 1.25) + "-b 16 '" + tmp + "' synth 1.25 sine 1000 vol 0.5";
    else if (name == "mono48.mp3")
    {
        CTestFile src = TestFile("mono48.wav");
        file.m_Rate = src.m_Rate;
        file.m_Frames = src.m_Frames;
        command = "lame --quiet -m m -b 96 '" + src.m_Path + "' '" + tmp + "'";
    }
    else if (name == "rate22.wav")
        command = tone(22050, 2, 1.0) + "-b 16 '" + tmp + "' synth 1.0 sine 1000 vol 0.5";
    else if (name == "rate22.mp3")
    {
        CTestFile src = TestFile("rate22.wav");
        file.m_Rate = src.m_Rate;
        file.m_Frames = src.m_Frames;
        command = "lame --quiet -b 64 '" + src.m_Path + "' '" + tmp + "'";
    }
    else if (name == "rate11.wav")
        command = tone(11025, 1, 0.8) + "-b 16 '" + tmp + "' synth 0.8 sine 440 vol 0.5";
    else if (name == "rate11.mp3")
    {
        // 32 kb/s: at 8 kb/s the frames are too small for the LAME tag, and
        // without it no decoder knows the exact length.
        CTestFile src = TestFile("rate11.wav");
        file.m_Rate = src.m_Rate;
        file.m_Frames = src.m_Frames;
        command = "lame --quiet -b 32 '" + src.m_Path + "' '" + tmp + "'";
    }
    else if (name == "mono22.wav")
        command = tone(22050, 1, 1.0) + "-b 16 '" + tmp + "' synth 1.0 sine 1000 vol 0.5";
    else if (name == "sine1k.wav")
    {
        // sox's synth stays under full scale: written here.
        file.m_Rate = 44100;
        file.m_Frames = 44100;
        std::vector<float> data(44100 * 2);
        for (int i = 0; i < 44100; ++i)
            data[i * 2] = data[i * 2 + 1] = static_cast<float>(std::sin(2 * M_PI * 1000.0 * i / 44100.0));
        WriteFloatWav(tmp, 44100, data);
    }
    else if (name == "sine_bin23.wav" || name == "sine_bin23_quiet.wav")
    {
        // 23 × 44100 / 1024 Hz: exactly on bin 23, so no scalloping loss.
        const double amplitude = name == "sine_bin23.wav" ? 1.0 : 0.05;
        file.m_Rate = 44100;
        file.m_Frames = 44100;
        std::vector<float> data(44100 * 2);
        for (int i = 0; i < 44100; ++i)
            data[i * 2] = data[i * 2 + 1] = static_cast<float>(amplitude * std::sin(2 * M_PI * 23.0 * i / 1024.0));
        WriteFloatWav(tmp, 44100, data);
    }
    else if (name == "dc.wav")
    {
        // A constant quarter level for 0.5 s: sums of it are plain to see.
        file.m_Rate = 44100;
        file.m_Frames = 22050;
        WriteFloatWav(tmp, 44100, std::vector<float>(22050 * 2, 0.25f));
    }
    else if (name == "silence.wav")
    {
        // Digital silence (sox would dither a 16-bit file).
        file.m_Rate = 44100;
        file.m_Frames = 44100;
        WriteFloatWav(tmp, 44100, std::vector<float>(44100 * 2, 0.0f));
    }
    else if (name == "music.wav")
    {
        file.m_Rate = 44100;
        file.m_Frames = 44100 * 3;
        WriteFloatWav(tmp, 44100, MusicLike(44100, 3.0));
    }
    else if (name == "click.wav")
    {
        // Silence, one full-scale click at 0.3 s, silence to 0.6 s.
        file.m_Rate = 44100;
        file.m_Frames = 26460;
        std::vector<float> data(26460 * 2, 0.0f);
        data[13230 * 2] = data[13230 * 2 + 1] = 1.0f;
        WriteFloatWav(tmp, 44100, data);
    }
    else if (name == "truncated.mp3")
    {
        std::vector<uint8_t> all = ReadBytes(TestFile("cbr.mp3").m_Path);
        bytes.assign(all.begin(), all.begin() + all.size() * 2 / 5);
        haveBytes = true;
    }
    else if (name == "noise20.wav")
        // -R: the same noise on every run, so the cut files' lengths are known.
        command = "sox -R" + tone(44100, 2, 20.0).substr(3) + "-b 16 '" + tmp + "' synth 20 pinknoise vol 0.5";
    else if (name == "vbr20.mp3" || name == "vbr20_untagged.mp3" || name == "cbr20.mp3")
    {
        CTestFile src = TestFile("noise20.wav");
        file.m_Rate = src.m_Rate;
        // Without the info tag the decoder delay and padding stay in.
        file.m_Frames = name == "vbr20_untagged.mp3" ? 0 : src.m_Frames;
        const char* options = name == "vbr20.mp3" ? "-V 2" : name == "cbr20.mp3" ? "-b 128" : "-V 2 -t";
        command = "lame --quiet " + std::string(options) + " '" + src.m_Path + "' '" + tmp + "'";
    }
    else if (name == "vbr20_cut.mp3" || name == "cbr20_cut.mp3")
    {
        // 40 % of the file, its info tag still claiming the whole.
        std::vector<uint8_t> all = ReadBytes(TestFile(name.substr(0, 5) + ".mp3").m_Path);
        bytes.assign(all.begin(), all.begin() + all.size() * 2 / 5);
        file.m_Rate = 44100;
        haveBytes = true;
    }
    else if (name == "vbr20_vbri.mp3")
    {
        // vbr20_untagged.mp3 behind a silent first frame carrying a VBRI
        // header, as Fraunhofer's encoder writes; libmpg123 ignores VBRI.
        std::vector<uint8_t> audio = ReadBytes(TestFile("vbr20_untagged.mp3").m_Path);
        // MPEG 1 layer III, 128 kb/s, 44100 Hz, joint stereo: 417 bytes.
        bytes = {0xFF, 0xFB, 0x90, 0x64};
        bytes.resize(417, 0);
        const uint8_t vbri[] = {'V', 'B', 'R', 'I', 0, 1, 0x04, 0x81, 0, 75};
        std::copy(vbri, vbri + sizeof(vbri), bytes.begin() + 36);
        uint32_t total = static_cast<uint32_t>(bytes.size() + audio.size());
        uint32_t frames = 1;
        for (size_t at = 0; at + 4 <= audio.size();)
        {
            // Counted here as the header's writer would: frame by frame.
            static const int Kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
            if (audio[at] != 0xFF || (audio[at + 1] & 0xE0) != 0xE0 || (audio[at + 2] >> 4) == 0 ||
                (audio[at + 2] >> 4) == 15)
                break;
            at += 144000 * Kbps[audio[at + 2] >> 4] / 44100 + ((audio[at + 2] >> 1) & 1);
            ++frames;
        }
        for (int i = 0; i < 4; ++i)
        {
            bytes[46 + i] = static_cast<uint8_t>(total >> (24 - 8 * i));
            bytes[50 + i] = static_cast<uint8_t>(frames >> (24 - 8 * i));
        }
        bytes.insert(bytes.end(), audio.begin(), audio.end());
        file.m_Rate = 44100;
        haveBytes = true;
    }
    else if (name == "random.bin")
    {
        uint32_t state = 99;
        for (int i = 0; i < 20000; ++i)
        {
            state = state * 1664525u + 1013904223u;
            bytes.push_back(static_cast<uint8_t>(state >> 24));
        }
        haveBytes = true;
    }
    else if (name == "empty.mp3")
        haveBytes = true;
    else if (name == "song.mod" || name == "song_named.mp3")
    {
        bytes = MakeModule();
        haveBytes = true;
    }
    else if (name == "mp3_named.xm")
    {
        bytes = ReadBytes(TestFile("cbr.mp3").m_Path);
        file.m_Rate = 44100;
        file.m_Frames = 66150;
        haveBytes = true;
    }
    else if (name == "dir")
    {
        fs::create_directories(path);
        return file;
    }
    else
    {
        ADD_FAILURE() << "no recipe for " << name;
        return file;
    }
    if (fs::exists(path))
        return file;
    if (haveBytes)
        WriteBytes(tmp, bytes);
    else if (!command.empty())
        Run(command);
    fs::rename(tmp, path);
    return file;
}
}

CTestFile TestFile(const std::string& name)
{
    return Make(name);
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFloatWav(const std::string& path, int rate, const std::vector<float>& stereo)
{
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    uint32_t dataBytes = static_cast<uint32_t>(stereo.size() * sizeof(float));
    Append32LE(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Append32LE(out, 16);
    out.insert(out.end(), {3, 0, 2, 0}); // IEEE float, two channels
    Append32LE(out, static_cast<uint32_t>(rate));
    Append32LE(out, static_cast<uint32_t>(rate * 8));
    out.insert(out.end(), {8, 0, 32, 0});
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Append32LE(out, dataBytes);
    const auto* raw = reinterpret_cast<const uint8_t*>(stereo.data());
    out.insert(out.end(), raw, raw + dataBytes);
    WriteBytes(path, out);
}

std::vector<uint8_t> MakeModule()
{
    const int sampleWords = 32;
    std::vector<uint8_t> mod(1084 + 1024 + sampleWords * 2, 0);
    const char title[] = "orba test";
    std::copy(title, title + sizeof(title) - 1, mod.begin());
    // Sample 1: header at 20.
    const char sampleName[] = "square";
    std::copy(sampleName, sampleName + sizeof(sampleName) - 1, mod.begin() + 20);
    Put16(mod, 20 + 22, sampleWords); // length in words
    mod[20 + 24] = 0;                 // finetune
    mod[20 + 25] = 64;                // volume
    Put16(mod, 20 + 26, 0);           // loop start
    Put16(mod, 20 + 28, sampleWords); // loop length: the whole sample
    for (int s = 1; s < 31; ++s)
        Put16(mod, 20 + s * 30 + 28, 1); // empty samples: "no loop"
    mod[950] = 1;                        // one order
    mod[951] = 127;
    mod[952] = 0; // order 0 plays pattern 0
    mod[1080] = 'M';
    mod[1081] = '.';
    mod[1082] = 'K';
    mod[1083] = '.';
    auto cell = [&](int row, int channel, int sample, int period, int effect, int param) {
        size_t at = 1084 + static_cast<size_t>(row * 4 + channel) * 4;
        mod[at] = static_cast<uint8_t>((sample & 0xF0) | ((period >> 8) & 0x0F));
        mod[at + 1] = static_cast<uint8_t>(period & 0xFF);
        mod[at + 2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | effect);
        mod[at + 3] = static_cast<uint8_t>(param);
    };
    cell(0, 0, 1, 428, 0xF, 3);  // C-3 with sample 1; speed 3 (60 ms rows at 125 BPM)
    cell(15, 0, 0, 0, 0xD, 0);   // pattern break after 16 rows: the song ends
    for (int i = 0; i < sampleWords * 2; ++i)
        mod[1084 + 1024 + i] = static_cast<uint8_t>(i < sampleWords ? 64 : -64);
    return mod;
}

bool WaitFor(const std::function<bool()>& done, double seconds)
{
    double end = NowSeconds() + seconds;
    while (!done())
    {
        if (NowSeconds() > end)
            return false;
        SleepMs(2);
    }
    return true;
}

void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double NowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::vector<float> DecodeAll(const std::string& path)
{
    int64_t frames = FSOUND_Test_DecodeFile(path.c_str(), nullptr, 0);
    if (frames <= 0)
        return {};
    std::vector<float> out(static_cast<size_t>(frames) * 2);
    FSOUND_Test_DecodeFile(path.c_str(), out.data(), frames);
    return out;
}
