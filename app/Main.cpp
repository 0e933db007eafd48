// The entry point: the command line is settled (and refused with exit code 2)
// before any window or sound opens.
#include <cstdio>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/Recorder.h"
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
    std::string why;
    if (!ChooseAlbum(line.m_Album, ProgramFolder(), &why))
    {
        std::fprintf(stderr, "orba: %s\n", why.c_str());
        return 2;
    }
    SShowOptions options;
    options.m_Screen = line.m_Screen;
    options.m_Scale = line.m_Scale;
    return RunDemo(options);
}
