#include "audio/Album.h"

#include <algorithm>
#include <cctype>
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

// Adds `path` when the sound library can play it; stops at the cap.
void AddIfPlayable(const fs::path& path, CAlbum* album)
{
    const std::string name = path.string();
    // The sound layer reads '\' as a folder separator.
    if (name.find('\\') != std::string::npos)
    {
        ReportFailure("album", "%s: a '\\' in the name cannot be opened, left out", Printable(name).c_str());
        return;
    }
    std::string title, artist;
    if (!CAudio::ReadTags(name.c_str(), &title, &artist))
        return;
    if (title.find_first_not_of(" \t") == std::string::npos)
        title = path.stem().string();
    SAlbumTrack track;
    track.m_Path = name;
    track.m_Title = ToUtf8(title);
    track.m_Artist = ToUtf8(artist);
    track.m_Text = artist.find_first_not_of(" \t") == std::string::npos ? title : artist + ": " + title;
    album->m_Tracks.push_back(std::move(track));
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
    return m_DayNames ? "ORBA" : ToUtf8(m_Folder.substr(m_Folder.find_last_of('/') + 1));
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
        files.push_back(path);
    }
    std::sort(files.begin(), files.end(),
              [](const fs::path& a, const fs::path& b) { return NaturalLess(a.filename(), b.filename()); });
    for (const fs::path& path : files)
    {
        if (static_cast<int>(album->m_Tracks.size()) == MaxAlbumTracks)
            break;
        AddIfPlayable(path, album);
    }
    return Finish(album, folder, why);
}

bool ReadAlbumFiles(std::vector<std::string> files, CAlbum* album, std::string* why)
{
    *album = CAlbum();
    album->m_DayNames = false;
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return NaturalLess(fs::path(a).filename(), fs::path(b).filename());
    });
    std::string folder;
    for (const std::string& file : files)
    {
        std::error_code error;
        if (static_cast<int>(album->m_Tracks.size()) == MaxAlbumTracks)
            break;
        if (!fs::is_regular_file(file, error) || IsKnownNotAudio(file))
            continue;
        AddIfPlayable(file, album);
        if (folder.empty())
            folder = fs::path(file).parent_path().string();
    }
    album->m_Folder = folder;
    return Finish(album, files.size() == 1 ? files[0] : "the dropped files", why);
}
