#pragma once
// The command line: orba [OPTIONS] [FOLDER|FILE]..., and the album it chooses.
// Read on the main thread before anything opens.
#include <string>
#include <vector>

enum EScreenChoice
{
    ScreenAsk,         // the "Fullscreen?" question
    ScreenWindowed,
    ScreenFullScreen
};

struct SCommandLine
{
    bool m_Help = false;
    bool m_Version = false;
    EScreenChoice m_Screen = ScreenAsk;
    float m_Scale = 0.0f;  // --scale; 0: the desktop's
    bool m_Fresh = false;  // start from the default settings and forget the kept ones
    std::vector<std::string> m_Album;  // folders and files as given; empty: the default album
    // --record FILE and its settings, as given (app/Recorder.cpp reads them).
    std::string m_Record;
    std::string m_RecordSize;
    std::string m_RecordFps;
    std::string m_RecordDays;
    bool m_Lossless = false;
    std::string m_Error;   // why the line was refused
};

// False, with m_Error, for an unknown option or an empty name.
bool ParseCommandLine(int argc, const char* const* argv, SCommandLine* line);
const char* UsageText();

// Installs the album to play: the named folders and files, else the kept
// one (`kept`, the last named or dropped; passed over with a line when it
// no longer plays), else Tamm_songs/ in the working directory, else the one
// beside the program (`programFolder`). False, with `why`, only when what
// was named plays nothing; a default album that plays nothing is said once
// on stderr and kept, so the player still opens.
bool ChooseAlbum(const std::vector<std::string>& named, const std::vector<std::string>& kept,
                 const std::string& programFolder, std::string* why);
// Says on stderr which album plays (or where none was found), once the
// player has opened.
void SayAlbumNotice();
// The folder the running program was started from (empty when unknown).
std::string ProgramFolder();
// A drop on the window: its folders and files become the album, and are kept.
void DropAlbum(const std::vector<std::string>& paths);
