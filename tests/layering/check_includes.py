#!/usr/bin/env python3
"""Fails when an include crosses a wall.

The folders above platform/ form layers; a file may include its own folder
and the layers below it, never one above or beside it. Of platform/ they see
only the public headers, and of the outside world only the standard
library, GLM and the compiler's intrinsics.

Inside platform/, a room may include its own files, the public headers,
another room's seam header, the standard library, the POSIX headers in
POSIX, GLM and the third-party headers on its own line of THIRD_PARTY;
nothing of the layers above, of another room's internals or of another
room's libraries. The public headers at the top of platform/ include only
the standard library, GLM and one another.

Usage: check_includes.py SOURCE_DIR   (prints each violation; exit 1 if any)
"""
import fnmatch
import os
import posixpath
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
          "platform/desktop/Mpris.h", "platform/record/Record.h", "platform/settings/Settings.h",
          "platform/text/Transliterate.h"}
# What one room may include of another: its seam, nothing else.
SEAMS = {"platform/window/GlWindow.h"}

# Each room links its own libraries and no other's, so it includes only
# their headers. A new room needs its line here before its first include.
THIRD_PARTY = {
    "window": ["SDL.h", "SDL_*.h", "SDL2/*", "wayland-client-core.h", "X11/*"],
    "gl": ["epoxy/*"],
    "d3dx": ["png.h", "ft2build.h", "freetype/*", "fontconfig/*"],
    "sound": ["SDL.h", "SDL_*.h", "SDL2/*", "mpg123.h", "sndfile.h", "libopenmpt/*",
              "kiss_fft.h", "kiss_fftr.h", "alsa/*"],
    "desktop": ["systemd/*"],
    "record": ["libavcodec/*", "libavformat/*", "libavutil/*", "libswscale/*", "libswresample/*"],
    "settings": [],
    "text": ["unicode/*"],
}
# FreeType names its headers by macro (#include FT_FREETYPE_H).
MACROS = {"d3dx": ["FT_*_H"]}
ROOMS = set(THIRD_PARTY)

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
# The system calls the rooms make past the standard library (the window's
# signal handlers and /proc reads, the desktop's bus name from the pid);
# named one by one so that a stray library header does not pass for one.
POSIX = set("""
dirent.h dlfcn.h errno.h fcntl.h poll.h pthread.h signal.h time.h unistd.h
sys/mman.h sys/stat.h sys/time.h sys/types.h sys/wait.h
""".split())
INCLUDE = re.compile(r'^\s*#\s*include(?:_next)?\s*(?:([<"])([^>"]+)[>"]|([A-Za-z_]\w*))')
SOURCES = (".cpp", ".h", ".hpp", ".cc")


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


def resolve(root, path, name):
    """Where a quoted include lands, relative to root, as the compiler finds it:
    beside the including file first, then from the source root (the rooms'
    only include directory). None when it leaves the source tree."""
    beside = posixpath.normpath(posixpath.join(posixpath.dirname(path), name))
    dotted = any(step in (".", "..") for step in name.split("/"))
    if dotted or os.path.isfile(os.path.join(root, beside)):
        found = beside
    else:
        found = posixpath.normpath(name)
    if found == ".." or found.startswith("../") or posixpath.isabs(found):
        return None
    return found


def room_of(path):
    """The room a platform/ path lies in, or None at the top of platform/."""
    steps = path.split("/")
    return steps[1] if len(steps) >= 3 else None


def owners(name, table):
    return sorted(room for room, patterns in table.items()
                  if any(fnmatch.fnmatchcase(name, p) for p in patterns))


def check_platform(root, path, name, quoted, macro):
    room = room_of(path)
    where = "%s/" % room if room else "a public header"
    if room is not None and room not in ROOMS:
        spelled = name if macro else ('"%s"' if quoted else "<%s>") % name
        return "%s in platform/%s, a room this check does not know (add it to THIRD_PARTY)" % (spelled, where)
    if macro:
        if room and room in owners(name, MACROS):
            return None
        if room is None:
            return "include by macro %s in a public header" % name
        return "include by macro %s, not one of %s's" % (name, where)
    if not quoted:
        if name in STANDARD or name.startswith("glm/"):
            return None
        if room is None:
            return "<%s> in a public header (only the standard library, GLM and public headers)" % name
        if name in POSIX or room in owners(name, THIRD_PARTY):
            return None
        rooms = owners(name, THIRD_PARTY)
        if rooms:
            return "third-party header <%s> belongs to %s, not %s" % (
                name, ", ".join(r + "/" for r in rooms), where)
        return "<%s> is not on %s's list (standard library, POSIX, GLM, its own libraries)" % (name, where)
    found = resolve(root, path, name)
    if found is None:
        return "\"%s\" leaves the source tree" % name
    top = found.split("/", 1)[0]
    if top != "platform":
        if top in RANK:
            return "\"%s\" reaches above platform/ into %s/" % (name, top)
        return "\"%s\" reaches outside platform/ (%s)" % (name, found)
    if found in PUBLIC:
        return None
    if room is None:
        return "\"%s\" in a public header is not a public header (%s)" % (name, found)
    if found in SEAMS:
        return None
    other = room_of(found)
    if other == room:
        return None
    if other is None:
        return "\"%s\" is not a public header (%s)" % (name, found)
    return "\"%s\" is %s/'s internals (%s)" % (name, other, found)


def source_files(root, folder):
    for base, dirs, files in os.walk(os.path.join(root, folder)):
        dirs.sort()
        for f in sorted(files):
            if f.endswith(SOURCES):
                full = os.path.join(base, f)
                yield full, os.path.relpath(full, root).replace(os.sep, "/")


def check_tree(root):
    """Every violation under root, one "path:line: why" each."""
    problems = []
    for folder in list(RANK) + ["platform"]:
        for full, path in source_files(root, folder):
            with open(full, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    quoted, name, macro = m.group(1) == '"', m.group(2), m.group(3)
                    if folder == "platform":
                        why = check_platform(root, path, name or macro, quoted, macro is not None)
                    elif macro:
                        why = "include by macro %s" % macro
                    else:
                        why = check_upper(root, path, folder, name, quoted)
                    if why:
                        problems.append("%s:%d: %s" % (path, number, why))
    return problems


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    root = argv[0] if argv else "."
    problems = check_tree(root)
    for p in problems:
        print(p)
    print("include check: %d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
