#include "audio/Album.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "audio/Audio.h"
#include "frame/Report.h"

CAlbum g_Album;
int g_AlbumSerial = 0;

namespace fs = std::filesystem;

namespace {

// Never worth opening: pictures, text, playlists and the like sit beside
// music, and a forgiving mp3 decoder may find "frames" in them.
bool IsKnownNotAudio(const fs::path& path)
{
    static const char* const s_Skipped[] = {".jpg", ".jpeg", ".png", ".gif", ".bmp", ".webp", ".txt", ".nfo",
                                           ".pdf", ".cue", ".m3u", ".m3u8", ".pls", ".log", ".md", ".html",
                                           ".htm", ".db", ".ini", ".sfv", ".md5", ".lrc", ".xml", ".json"};
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return std::find_if(std::begin(s_Skipped), std::end(s_Skipped), [&](const char* s) { return ext == s; }) !=
           std::end(s_Skipped);
}

// A name as a terminal can show it: control characters (a newline in a file
// name) become '?'.
std::string Printable(const std::string& name)
{
    std::string out = name;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return out;
}

// Adds `path` when the sound library can play it. False when it cannot.
bool AddIfPlayable(const fs::path& path, CAlbum* album)
{
    const std::string name = path.string();
    // The sound layer reads '\' as a folder separator.
    if (name.find('\\') != std::string::npos)
    {
        ReportFailure("album", "%s: a '\\' in the name cannot be opened, left out", Printable(name).c_str());
        return false;
    }
    std::string title, artist, albumName;
    if (!CAudio::ReadTags(name.c_str(), &title, &artist, &albumName))
        return false;
    if (title.find_first_not_of(" \t") == std::string::npos)
        title = path.stem().string();
    SAlbumTrack track;
    track.m_Path = name;
    track.m_Title = ToUtf8(title);
    track.m_Artist = ToUtf8(artist);
    track.m_Text = artist.find_first_not_of(" \t") == std::string::npos ? title : artist + ": " + title;
    track.m_Album = ToUtf8(albumName);
    album->m_Tracks.push_back(std::move(track));
    return true;
}

// Why a named file is not a track, in words a user can act on.
std::string WhyNotPlayable(const fs::path& path)
{
    const std::string name = Printable(path.string());
    std::error_code error;
    if (!fs::exists(path, error))
        return name + ": no such file or folder";
    if (!fs::is_regular_file(path, error))
        return name + ": not a file or a folder";
    if (name.find('\\') != std::string::npos)
        return name + ": a '\\' in the name cannot be opened";
    if (IsKnownNotAudio(path))
        return name + ": not music (a picture, text or playlist)";
    if (FILE* file = std::fopen(path.c_str(), "rb"))
        std::fclose(file);
    else
        return name + ": cannot be read (" + std::strerror(errno) + ")";
    if (fs::file_size(path, error) == 0)
        return name + ": empty";
    return name + ": not music ORBA can play (mp3, Ogg Vorbis, Opus, FLAC, WAV or a tracker module), or damaged";
}

// A folder's files that may be music: hidden ones and known others left
// out, in natural order.
bool ListFolder(const std::string& folder, std::vector<fs::path>* files, std::string* why)
{
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error)
    {
        *why = Printable(folder) + ": cannot be read (" + error.message() + ")";
        return false;
    }
    for (; it != fs::directory_iterator(); it.increment(error))
    {
        if (error)
            break;
        const fs::path& path = it->path();
        std::error_code kind;
        if (!it->is_regular_file(kind) || path.filename().string().front() == '.' || IsKnownNotAudio(path))
            continue;
        files->push_back(path);
    }
    std::sort(files->begin(), files->end(),
              [](const fs::path& a, const fs::path& b) { return NaturalLess(a.filename(), b.filename()); });
    return true;
}

bool Full(const CAlbum& album)
{
    return static_cast<int>(album.m_Tracks.size()) == MaxAlbumTracks;
}

bool Finish(CAlbum* album, const std::string& where, std::string* why)
{
    if (album->m_Tracks.empty())
    {
        *why = Printable(where) + ": nothing there can be played";
        return false;
    }
    return true;
}

}  // namespace

int CAlbum::Count() const
{
    return m_DayNames ? DayCount : static_cast<int>(m_Tracks.size());
}

std::string CAlbum::Path(int i) const
{
    if (i < 0 || i >= Count())
        return std::string();
    return m_DayNames ? DayPath(m_Folder, i + 1) : m_Tracks[i].m_Path;
}

std::string CAlbum::FilePath(int i) const
{
    std::string path = Path(i);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string CAlbum::Title(int i) const
{
    if (i < 0 || i >= Count())
        return std::string();
    return m_DayNames ? "Day " + std::to_string(i + 1) : m_Tracks[i].m_Title;
}

std::string CAlbum::Artist(int i) const
{
    if (i < 0 || i >= Count())
        return std::string();
    return m_DayNames ? "Tamm" : m_Tracks[i].m_Artist;
}

const char* CAlbum::Notes(int i) const
{
    return m_DayNames && i >= 0 && i < DayCount ? g_TrackDescriptions[i] : nullptr;
}

const std::string& CAlbum::Text(int i) const
{
    static const std::string s_None;
    return !m_DayNames && i >= 0 && i < Count() ? m_Tracks[i].m_Text : s_None;
}

std::string CAlbum::Name() const
{
    if (m_DayNames)
        return "ORBA";
    // The album its tracks' tags name, when those that name one agree; a
    // mix of albums, or none named, goes by the folder's name.
    std::string named;
    for (const SAlbumTrack& track : m_Tracks)
    {
        if (track.m_Album.find_first_not_of(' ') == std::string::npos)
            continue;
        if (!named.empty() && named != track.m_Album)
        {
            named.clear();
            break;
        }
        named = track.m_Album;
    }
    if (!named.empty())
        return named;
    std::string folder = m_Folder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return ToUtf8(folder.substr(folder.find_last_of('/') + 1));
}

std::string CAlbum::Notice(const std::string& shownFolder) const
{
    if (m_DayNames)
        return "ORBA: playing the album in " + shownFolder;
    return "ORBA: playing " + std::to_string(Count()) + " tracks from " + shownFolder;
}

void ReplaceAlbum(CAlbum&& album)
{
    g_Album = std::move(album);
    ++g_AlbumSerial;
}

std::string ToUtf8(const std::string& text)
{
    std::string out;
    auto latin1 = [&out](uint8_t b) {
        if (b < 0x80)
            out += static_cast<char>(b);
        else
        {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    };
    for (size_t i = 0; i < text.size();)
    {
        const auto b = static_cast<uint8_t>(text[i]);
        const int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
        bool valid = extra > 0;
        uint32_t c = b & (0x3F >> extra);
        for (int k = 1; valid && k <= extra; ++k)
        {
            if (i + k >= text.size() || (static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3F);
        }
        if (valid && ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
                      (c >= 0xD800 && c <= 0xDFFF)))
            valid = false;
        if (valid)
        {
            out.append(text, i, static_cast<size_t>(extra) + 1);
            i += static_cast<size_t>(extra) + 1;
            continue;
        }
        // Control characters, C1 ones included, would only confuse a reader.
        latin1(b < 0x20 || (b >= 0x7F && b < 0xA0) ? ' ' : b);
        ++i;
    }
    return out;
}

bool NaturalLess(const std::string& a, const std::string& b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
    {
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb))
        {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            // By value: leading zeros aside, the longer run is the larger.
            size_t zi = i, zj = j;
            while (zi + 1 < ei && a[zi] == '0')
                ++zi;
            while (zj + 1 < ej && b[zj] == '0')
                ++zj;
            if (ei - zi != ej - zj)
                return ei - zi < ej - zj;
            const int order = a.compare(zi, ei - zi, b, zj, ej - zj);
            if (order != 0)
                return order < 0;
            i = ei;
            j = ej;
            continue;
        }
        const int la = std::tolower(ca), lb = std::tolower(cb);
        if (la != lb)
            return la < lb;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return j < b.size();
    return a < b;  // equal but for case or zeros: any fixed order
}

std::string DayPath(const std::string& folder, int day)
{
    return folder + "\\tamm - day" + std::to_string(day) + ".mp3";
}

bool DayAlbumPlays(const std::string& folder)
{
    std::string title, artist;
    for (int day = 1; day <= DayCount; ++day)
        if (CAudio::ReadTags(DayPath(folder, day).c_str(), &title, &artist))
            return true;
    return false;
}

bool ReadAlbumFolder(const std::string& folder, CAlbum* album, std::string* why)
{
    *album = CAlbum();
    album->m_Folder = folder;
    std::error_code error;
    if (!fs::is_directory(folder, error))
    {
        *why = Printable(folder) + ": no such folder";
        return false;
    }
    for (int day = 1; day <= DayCount; ++day)
        if (fs::exists(fs::path(folder) / ("tamm - day" + std::to_string(day) + ".mp3"), error))
        {
            album->m_DayNames = true;
            if (DayAlbumPlays(folder))
                return true;
            *why = Printable(folder) + ": nothing there can be played";
            return false;
        }

    album->m_DayNames = false;
    std::vector<fs::path> files;
    if (!ListFolder(folder, &files, why))
        return false;
    for (const fs::path& path : files)
    {
        if (Full(*album))
            break;
        AddIfPlayable(path, album);
    }
    return Finish(album, folder, why);
}

bool ReadAlbumPaths(const std::vector<std::string>& paths, CAlbum* album, std::string* why)
{
    std::error_code error;
    if (paths.size() == 1 && fs::is_directory(paths[0], error))
        return ReadAlbumFolder(paths[0], album, why);
    *album = CAlbum();
    album->m_DayNames = false;
    album->m_Folder.clear();
    for (const std::string& given : paths)
    {
        if (Full(*album))
        {
            ReportFailure("album", "at most %d tracks: the rest is left out", MaxAlbumTracks);
            break;
        }
        // The album's folder (its name when no tag names one): the first one given.
        if (album->m_Folder.empty())
            album->m_Folder = fs::is_directory(given, error) ? given : fs::path(given).parent_path().string();
        if (fs::is_directory(given, error))
        {
            // A folder among files is no day album: its files play as they are.
            std::vector<fs::path> files;
            std::string unreadable;
            if (!ListFolder(given, &files, &unreadable))
                ReportFailure("album", "%s, left out", unreadable.c_str());
            for (const fs::path& path : files)
                if (!Full(*album))
                    AddIfPlayable(path, album);
            continue;
        }
        if (!AddIfPlayable(given, album))
        {
            if (paths.size() == 1)
            {
                *why = WhyNotPlayable(given);
                return false;
            }
            ReportFailure("album", "%s, left out", WhyNotPlayable(given).c_str());
        }
    }
    return Finish(album, paths.size() == 1 ? paths[0] : "the given files and folders", why);
}
