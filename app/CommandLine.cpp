#include "app/CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/Remembered.h"
#include "audio/Album.h"

namespace fs = std::filesystem;

namespace {

// The album as the player will say it: a full path, without control characters.
std::string Shown(const std::string& folder)
{
    std::error_code error;
    std::string out = fs::absolute(folder, error).lexically_normal().string();
    if (error)
        out = folder;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return out;
}

// What the chosen album is, said once the player has opened (a program that
// cannot start says only that).
std::string s_Notice;

std::string Playing(const CAlbum& album)
{
    return album.Notice(Shown(album.m_Folder));
}

constexpr double MinScale = 0.5;
constexpr double MaxScale = 8.0;

}  // namespace

const char* UsageText()
{
    return "Usage: orba [OPTIONS] [FOLDER|FILE]...\n"
           "Plays the given music (mp3, Ogg Vorbis, Opus, FLAC, WAV, tracker modules) in the ORBA player\n"
           "as one album: the files in the order given, a folder's files in natural order. Without any:\n"
           "the album played last, else Tamm_songs/ in the working directory, else the demo album beside\n"
           "the program. Drop folders or files on the window to play them instead.\n"
           "Keys: Space plays and pauses, J and L move ten seconds back and on, + and - set the\n"
           "volume, F11 switches to full screen and back, ] and [ make the window bigger and smaller,\n"
           "Escape quits. Drag the skin to move the window, its edges to size it.\n"
           "\n"
           "  --windowed     open in a window without asking\n"
           "  --fullscreen   open full screen without asking\n"
           "  --scale S      open the window S times 800x600 (default: the desktop's scale factor)\n"
           "  --fresh        start from the default volume and album, forgetting the kept ones\n"
           "  --help         show this and exit\n"
           "  --version      show the version and exit\n"
           "\n"
           "  --record FILE  record the show to FILE (.mp4, .mkv, .webm) without a window and exit\n"
           "  --size WxH     the recording's frame (default 1920x1080)\n"
           "  --fps N        the recording's frames a second (default 60)\n"
           "  --days A-B     record only tracks A to B (default all)\n"
           "  --lossless     record FFV1 video with FLAC sound (.mkv)\n";
}

bool ParseCommandLine(int argc, const char* const* argv, SCommandLine* line)
{
    *line = SCommandLine();
    bool options = true;
    for (int i = 1; i < argc; ++i)
    {
        const char* arg = argv[i];
        if (options && std::strcmp(arg, "--") == 0)
            options = false;
        else if (options && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0))
            line->m_Help = true;
        else if (options && std::strcmp(arg, "--version") == 0)
            line->m_Version = true;
        else if (options && std::strcmp(arg, "--windowed") == 0)
            line->m_Screen = ScreenWindowed;
        else if (options && std::strcmp(arg, "--fullscreen") == 0)
            line->m_Screen = ScreenFullScreen;
        else if (options && std::strcmp(arg, "--scale") == 0)
        {
            char* end = nullptr;
            const char* value = i + 1 < argc ? argv[++i] : "";
            const double scale = std::strtod(value, &end);
            if (end == value || *end != 0 || !(scale >= MinScale && scale <= MaxScale))
            {
                line->m_Error = std::string("--scale ") + value + ": give a number from 0.5 to 8";
                return false;
            }
            line->m_Scale = static_cast<float>(scale);
        }
        else if (options && std::strcmp(arg, "--fresh") == 0)
            line->m_Fresh = true;
        else if (options && std::strcmp(arg, "--lossless") == 0)
            line->m_Lossless = true;
        else if (options && (std::strcmp(arg, "--record") == 0 || std::strcmp(arg, "--size") == 0 ||
                             std::strcmp(arg, "--fps") == 0 || std::strcmp(arg, "--days") == 0))
        {
            if (i + 1 >= argc || argv[i + 1][0] == 0)
            {
                line->m_Error = std::string(arg) + " needs a value";
                return false;
            }
            std::string* value = arg[2] == 'r' ? &line->m_Record
                                 : arg[2] == 's' ? &line->m_RecordSize
                                 : arg[2] == 'f' ? &line->m_RecordFps
                                                 : &line->m_RecordDays;
            *value = argv[++i];
        }
        else if (options && arg[0] == '-' && arg[1] != 0)
        {
            line->m_Error = std::string("unknown option ") + arg;
            return false;
        }
        else if (arg[0] == 0)
        {
            line->m_Error = "an empty file or folder name";
            return false;
        }
        else
            line->m_Album.emplace_back(arg);
    }
    return true;
}

std::string ProgramFolder()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

bool ChooseAlbum(const std::vector<std::string>& named, const std::vector<std::string>& kept,
                 const std::string& programFolder, std::string* why)
{
    CAlbum album;
    if (!named.empty())
    {
        if (!ReadAlbumPaths(named, &album, why))
            return false;
        s_Notice = Playing(album);
        ReplaceAlbum(std::move(album));
        return true;
    }
    if (!kept.empty())
    {
        std::string gone;
        if (ReadAlbumPaths(kept, &album, &gone))
        {
            s_Notice = Playing(album);
            ReplaceAlbum(std::move(album));
            return true;
        }
        std::fprintf(stderr, "ORBA: the album played last is gone (%s); playing the default one\n", gone.c_str());
    }
    // The working directory's album keeps its relative name, so its days are
    // opened exactly as "Tamm_songs\tamm - dayN.mp3".
    std::vector<std::string> looked = {"Tamm_songs"};
    if (!programFolder.empty())
    {
        looked.push_back((fs::path(programFolder) / "Tamm_songs").string());
        // Installed: <prefix>/bin/orba finds <prefix>/share/orba/Tamm_songs.
        looked.push_back((fs::path(programFolder) / ".." / "share" / "orba" / "Tamm_songs").lexically_normal().string());
    }
    for (const std::string& folder : looked)
    {
        std::error_code error;
        if (!fs::is_directory(folder, error))
            continue;
        std::string notPlayable;
        if (ReadAlbumFolder(folder, &album, &notPlayable))
        {
            s_Notice = Playing(album);
            ReplaceAlbum(std::move(album));
            return true;
        }
    }
    // Run from the program's own folder, two of the places are one.
    std::vector<std::string> shown;
    for (const std::string& folder : looked)
        if (std::find(shown.begin(), shown.end(), Shown(folder)) == shown.end())
            shown.push_back(Shown(folder));
    std::string where = shown[0];
    for (size_t i = 1; i < shown.size(); ++i)
        where += " and " + shown[i];
    s_Notice = "ORBA: no album to play: looked in " + where + ", and nothing there could be played";
    return true;
}

void DropAlbum(const std::vector<std::string>& paths)
{
    CAlbum album;
    std::string why;
    if (!ReadAlbumPaths(paths, &album, &why))
    {
        std::fprintf(stderr, "ORBA: dropped: %s; playing on\n", why.c_str());
        return;
    }
    std::fprintf(stderr, "%s\n", Playing(album).c_str());
    ReplaceAlbum(std::move(album));
    RememberAlbum(paths);
}

void SayAlbumNotice()
{
    if (!s_Notice.empty())
        std::fprintf(stderr, "%s\n", s_Notice.c_str());
    s_Notice.clear();
}
