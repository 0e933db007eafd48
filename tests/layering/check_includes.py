#!/usr/bin/env python3
"""Fails when an include crosses a wall.

The folders above platform/ form layers; a file may include its own folder
and the layers below it, never one above or beside it. Of platform/ they see
only the public headers, and of the outside world only the standard
library, GLM and the compiler's intrinsics. Inside platform/, a room may
include its own files, the public headers and another room's seam header,
never another room's internals.

Usage: check_includes.py SOURCE_DIR   (prints each violation; exit 1 if any)
"""
import os
import re
import sys

# Lowest first. Folders on the same layer may not include each other.
LAYERS = [
    ["frame"],
    ["render"],
    ["content", "audio"],
    ["visualiser"],
    ["musicdisk"],
    ["app"],
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
PUBLIC = {"platform/Win32.h", "platform/D3D9.h", "platform/D3DX9.h", "platform/FMOD.h",
          "platform/desktop/Mpris.h", "platform/record/Record.h"}
# What one room may include of another: its seam, nothing else.
SEAMS = {"platform/window/GlWindow.h"}

STANDARD = set("""
algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv chrono cinttypes
climits clocale cmath codecvt compare complex concepts condition_variable coroutine csetjmp csignal cstdarg
cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque exception execution expected
filesystem format forward_list fstream functional future initializer_list iomanip ios iosfwd iostream
istream iterator latch limits list locale map memory memory_resource mutex new numbers numeric optional
ostream queue random ranges ratio regex scoped_allocator semaphore set shared_mutex source_location span
sstream stack stdexcept stop_token streambuf string string_view syncstream system_error thread tuple
type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector version
""".split())
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def allowed_angle(name):
    return name in STANDARD or name.startswith("glm/") or re.fullmatch(r"[a-z]*intrin\.h", name) is not None


def check_upper(root, path, folder, name, quoted):
    if not quoted:
        return None if allowed_angle(name) else "third-party header <%s>" % name
    if os.path.exists(os.path.join(root, os.path.dirname(path), name)) and "/" not in name:
        return None  # a file beside it
    top = name.split("/", 1)[0]
    if top == "platform":
        return None if name in PUBLIC else "platform internals \"%s\" (only its public headers)" % name
    if top not in RANK:
        return "unknown include \"%s\"" % name
    if top != folder and RANK[top] >= RANK[folder]:
        return "\"%s\" is not below %s/" % (name, folder)
    return None


def check_platform(path, name, quoted):
    if not quoted:
        return None  # rooms own their third-party libraries
    room = path.split("/")[1] if path.count("/") >= 2 else None
    if name in PUBLIC or name in SEAMS or not name.startswith("platform/"):
        return None
    parts = name.split("/")
    if len(parts) >= 3 and parts[1] == room:
        return None
    return "\"%s\" is another room's internals" % name


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    problems = []
    for folder in list(RANK) + ["platform"]:
        for base, _, files in os.walk(os.path.join(root, folder)):
            for f in sorted(files):
                if not f.endswith((".cpp", ".h", ".hpp", ".cc")):
                    continue
                full = os.path.join(base, f)
                path = os.path.relpath(full, root)
                with open(full, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        quoted, name = m.group(1) == '"', m.group(2)
                        if folder == "platform":
                            why = check_platform(path, name, quoted)
                        else:
                            why = check_upper(root, path, folder, name, quoted)
                        if why:
                            problems.append("%s:%d: %s" % (path, number, why))
    for p in problems:
        print(p)
    print("include check: %d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
