#pragma once
// Inside the window room only: the Wayland client library's own messages.
// SDL opens libwayland-client itself, and where no Wayland display can be
// reached the library writes "error: XDG_RUNTIME_DIR is invalid or not set
// in the environment." to stderr on every try (five, as video starts). From
// QuietWayland on they come here instead, from any thread.
#include <string>

void QuietWayland();
// The library's first message since the last call, without its "error: "
// and its newline, or "".
std::string TakeWaylandSaid();
