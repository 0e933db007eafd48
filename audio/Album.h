#pragma once
// The album the player plays: either the day-named album ("tamm - dayN.mp3",
// 30 days, the liner notes) or any folder of music, whose playable files are
// the days in natural order with each file's own artist and title. Read and
// replaced on the main thread only; the music disk starts over when the
// serial changes.
#include <string>
#include <vector>

struct SAlbumTrack
{
    std::string m_Path;    // as opened
    std::string m_Text;    // "ARTIST: TITLE" from its tags, or its name; the file's own text
    std::string m_Title;   // the same parts as valid UTF-8 (Latin-1 bytes converted)
    std::string m_Artist;
    std::string m_Album;   // the album its tags name (UTF-8), or empty
};

// Callers ask the album about its tracks and never which kind it is: only
// the album itself reads m_DayNames.
class CAlbum
{
public:
    bool m_DayNames = true;
    std::string m_Folder = "Tamm_songs";
    std::vector<SAlbumTrack> m_Tracks;  // when not day-named

    int Count() const;
    // Track i (0 based; empty or null outside 0..Count()-1):
    // its file as the sound layer opens it ('\' reads as '/'),
    std::string Path(int i) const;
    // the same with '/' only, as the file system and the desktop name it,
    std::string FilePath(int i) const;
    // its title and artist (UTF-8),
    std::string Title(int i) const;
    std::string Artist(int i) const;
    // the liner notes, already in the ticker's letters and ending in the gap
    // before the line comes round again, where the album has them,
    const char* Notes(int i) const;
    // else the tags' own text ("ARTIST: TITLE", or the file's name).
    const std::string& Text(int i) const;
    // The album's name (UTF-8).
    std::string Name() const;
    // The terminal's line for the album: which one plays, from where.
    std::string Notice(const std::string& shownFolder) const;
};

// The day album's liner notes, one for each day.
extern const char* const g_TrackDescriptions[30];

constexpr int MaxAlbumTracks = 99;
constexpr int DayCount = 30;

extern CAlbum g_Album;
extern int g_AlbumSerial;

// Installs a new album and tells the player to start its first track.
void ReplaceAlbum(CAlbum&& album);

// `text` as valid UTF-8: bytes that are not UTF-8 are read as Latin-1, and
// control characters become spaces.
std::string ToUtf8(const std::string& text);

// 2 before 10: digit runs compare by value, the rest without case.
bool NaturalLess(const std::string& a, const std::string& b);

// The album in `folder`: the day-named album when a day file is there, else
// its playable files. False, with `why`, when nothing there can be played
// (or the folder cannot be read).
bool ReadAlbumFolder(const std::string& folder, CAlbum* album, std::string* why);
// The album of the given folders and files, in the given order (the command
// line, a drop): a folder gives its playable files in natural order, a file
// itself. One folder alone is read as ReadAlbumFolder reads it. A path that
// plays nothing is said and left out; false, with `why` (the real reason for
// a single file), when nothing plays at all.
bool ReadAlbumPaths(const std::vector<std::string>& paths, CAlbum* album, std::string* why);
// True when at least one day of a day-named album can be played.
bool DayAlbumPlays(const std::string& folder);
// The path of day `day` (1 based) of a day-named album, as the player writes it.
std::string DayPath(const std::string& folder, int day);
