#pragma once
// Inside the window room only: the Wayland client library's own messages.
// SDL opens libwayland-client itself, and where no Wayland display can be
// reached the library writes "error: XDG_RUNTIME_DIR is invalid or not set
// in the environment." to stderr on every try (five, as video starts). From
// QuietWayland on they come here instead, from any thread: held while video
// starts, then said in the program's own line (a protocol error on a live
// display is worth its line).
#include <string>

void QuietWayland();
// The first message held since QuietWayland, without its "error: " and its
// newline, or ""; later messages are said as they come.
std::string TakeWaylandSaid();
