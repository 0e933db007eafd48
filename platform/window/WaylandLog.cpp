#include "platform/window/WaylandLog.h"

#include <wayland-client-core.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

std::mutex s_Lock;
bool s_Holding = false;
std::string s_Said;

void WaylandSays(const char* format, va_list args)
{
    char text[256] = {};
    std::vsnprintf(text, sizeof(text), format, args);
    std::string said = text;
    if (said.rfind("error: ", 0) == 0)
        said.erase(0, 7);
    while (!said.empty() && (said.back() == '\n' || said.back() == '.'))
        said.pop_back();
    std::lock_guard<std::mutex> lock(s_Lock);
    if (!s_Holding)
        std::fprintf(stderr, "ORBA: window: the Wayland library: %s\n", said.c_str());
    else if (s_Said.empty())
        s_Said = said;
}

}  // namespace

void QuietWayland()
{
    {
        std::lock_guard<std::mutex> lock(s_Lock);
        s_Holding = true;
    }
    wl_log_set_handler_client(WaylandSays);
}

std::string TakeWaylandSaid()
{
    std::lock_guard<std::mutex> lock(s_Lock);
    s_Holding = false;
    std::string said;
    said.swap(s_Said);
    return said;
}
