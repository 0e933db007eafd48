#include "support/TestEnv.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every test program renders offscreen unless told otherwise, so OpenGL
// tests run on Mesa without an X display, and keeps its settings in a
// folder of its own, never the user's.
struct STestEnvironment
{
    STestEnvironment()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        const std::string state = MakeTempDir("state-" + std::to_string(getpid()));
        setenv("XDG_STATE_HOME", state.c_str(), 1);
    }
} s_TestEnvironment;

}  // namespace

std::string MakeTempDir(const std::string& name)
{
    const char* base = std::getenv("ORBA_TEST_TMP");
    std::filesystem::path root = base ? std::filesystem::path(base) : std::filesystem::path(ORBA_BINARY_DIR) / "test-tmp";
    std::filesystem::path dir = root / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

int RunCommand(const std::string& command)
{
    int status = std::system(command.c_str());
    if (status == -1)
        return -1;
    return WEXITSTATUS(status);
}

bool HaveCommand(const std::string& name)
{
    return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}
