// The entry point: the command line is settled (and refused with exit code 2)
// before any window or sound opens.
#include <cstdio>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/Recorder.h"
#include "app/Remembered.h"
#include "app/Show.h"

int main(int argc, char** argv)
{
    SCommandLine line;
    if (!ParseCommandLine(argc, argv, &line))
    {
        std::fprintf(stderr, "orba: %s (see orba --help)\n", line.m_Error.c_str());
        return 2;
    }
    if (line.m_Help)
    {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (line.m_Version)
    {
        std::printf("orba %s\n", ORBA_VERSION);
        return 0;
    }
    if (WantsRecording(line))
        return RunRecording(line);
    LoadRemembered(line.m_Fresh);
    std::string why;
    if (!ChooseAlbum(line.m_Album, g_Remembered.m_Album, ProgramFolder(), &why))
    {
        std::fprintf(stderr, "orba: %s\n", why.c_str());
        return 2;
    }
    if (!line.m_Album.empty())
        RememberAlbum(line.m_Album);
    SShowOptions options;
    options.m_Screen = line.m_Screen;
    options.m_Scale = line.m_Scale;
    // Where the window stood, if a screen there still shows it.
    options.m_HavePlace = g_Remembered.m_HavePlace;
    options.m_Place = g_Remembered.m_Place;
    // The volume the player was left at, rather than its own start value.
    if (g_Remembered.m_Volume >= 0.0f)
        options.m_Player.m_Volume = g_Remembered.m_Volume;
    return RunDemo(options);
}
