#!/usr/bin/env python3
"""The include check itself: a small tree that keeps every wall, and one
crossing of each kind planted in it, each of which must be reported alone.

Usage: test_check_includes.py   (unittest; ctest runs it as layering.checker)
"""
import contextlib
import io
import os
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_includes  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))

# Every form the check must let through: files beside, relative names that
# stay in the room, the seam, public headers, each room's own libraries,
# FreeType's macro, POSIX calls, GLM and the intrinsics above.
CLEAN = {
    "frame/Timer.h": ["<cstdint>", "<glm/glm.hpp>"],
    "frame/Timer.cpp": ['"frame/Timer.h"', '"Timer.h"', "<immintrin.h>"],
    "render/Device.h": ['"frame/Timer.h"', '"platform/D3D9.h"'],
    "content/Effect.h": ['"render/Device.h"', '"platform/D3DX9.h"'],
    "audio/Track.h": ['"frame/Timer.h"', '"platform/FMOD.h"'],
    "visualiser/Blob.h": ['"content/Effect.h"', '"audio/Track.h"'],
    "musicdisk/Player.h": ['"visualiser/Blob.h"'],
    "app/Main.cpp": ['"musicdisk/Player.h"', '"platform/Win32.h"', '"platform/desktop/Mpris.h"',
                     '"platform/record/Record.h"'],
    "platform/Win32.h": ["<cstdint>"],
    "platform/D3D9.h": ["<cstddef>", '"platform/Win32.h"'],
    "platform/D3DX9.h": ["<glm/glm.hpp>", '"D3D9.h"'],
    "platform/FMOD.h": ["<cstdint>"],
    "platform/window/GlWindow.h": ['"platform/Win32.h"'],
    "platform/window/PlatformWindow.h": ['"../Win32.h"'],
    "platform/window/Win32Sdl.cpp": ["<SDL.h>", "<SDL_syswm.h>", "<SDL2/SDL_video.h>", "<fcntl.h>",
                                     "<signal.h>", "<unistd.h>", "<sys/types.h>", "<deque>",
                                     '"PlatformWindow.h"', '"platform/window/GlWindow.h"'],
    "platform/gl/GlDevice.h": ["<epoxy/gl.h>", '"platform/D3DX9.h"', '"platform/window/GlWindow.h"'],
    "platform/gl/GlDevice.cpp": ['"GlDevice.h"', '"./GlDevice.h"', '"../gl/GlDevice.h"',
                                 '"../window/GlWindow.h"', '"../D3D9.h"', "<thread>"],
    "platform/d3dx/DebugFont.cpp": ["<ft2build.h>", "FT_FREETYPE_H", "<freetype/ftglyph.h>",
                                    "<fontconfig/fontconfig.h>", "<png.h>", '"platform/D3DX9.h"'],
    "platform/sound/SoundMixer.h": ["<atomic>", '"platform/FMOD.h"'],
    "platform/sound/detail/Ring.h": ['"../SoundMixer.h"', '"platform/sound/SoundMixer.h"'],
    "platform/sound/SoundSource.cpp": ['"platform/sound/SoundMixer.h"', '"SoundMixer.h"',
                                       '"detail/Ring.h"', "<SDL.h>", "<SDL2/SDL_audio.h>", "<mpg123.h>",
                                       "<sndfile.h>", "<libopenmpt/libopenmpt.h>", "<kiss_fftr.h>",
                                       "<pthread.h>"],
    "platform/desktop/Mpris.h": ["<string>"],
    "platform/desktop/Mpris.cpp": ['"platform/desktop/Mpris.h"', "<systemd/sd-bus.h>", "<unistd.h>"],
    "platform/record/Record.h": ["<cstdint>"],
    "platform/record/RecordFile.cpp": ['"Record.h"', "<libavcodec/avcodec.h>", "<libavformat/avformat.h>",
                                       "<libavutil/opt.h>", "<libswscale/swscale.h>",
                                       "<libswresample/swresample.h>", '"platform/FMOD.h"'],
    # Not walled, as in the real tree: tests, benchmarks and tools reach in.
    "tests/platform/gl/GlDeviceTest.cpp": ['"platform/gl/GlDevice.h"', "<gtest/gtest.h>"],
    "bench/mixer.cpp": ['"platform/sound/SoundMixer.h"', "<benchmark/benchmark.h>"],
    "tools/album/main.cpp": ['"../../platform/sound/SoundMixer.h"', "<SDL.h>"],
}


class CheckIncludes(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.root = self._dir.name
        for path, includes in CLEAN.items():
            self.write(path, includes)

    def tearDown(self):
        self._dir.cleanup()

    def write(self, path, includes):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write("#pragma once\n")
            for name in includes:
                f.write("#include %s\n" % name)

    def plant(self, path, include):
        """Adds one include to the end of path (made if missing); its line."""
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "a") as f:
            f.write("#include %s\n" % include)
        with open(full) as f:
            return sum(1 for _ in f)

    def assertCaught(self, path, include, *words):
        line = self.plant(path, include)
        problems = check_includes.check_tree(self.root)
        self.assertEqual(len(problems), 1, problems)
        self.assertTrue(problems[0].startswith("%s:%d: " % (path, line)), problems)
        self.assertIn(include, problems[0])
        for word in words:
            self.assertIn(word, problems[0])

    def test_clean_tree_has_no_problems(self):
        self.assertEqual(check_includes.check_tree(self.root), [])

    # Above platform/.
    def test_upward_include(self):
        self.assertCaught("frame/Timer.cpp", '"render/Device.h"', "not below frame/")

    def test_sideways_include(self):
        self.assertCaught("content/Effect.h", '"audio/Track.h"', "not below content/")

    def test_third_party_above_platform(self):
        self.assertCaught("render/Device.h", "<SDL2/SDL.h>", "third-party")

    def test_posix_above_platform(self):
        self.assertCaught("app/Main.cpp", "<unistd.h>", "third-party")

    def test_platform_internals_from_above(self):
        self.assertCaught("render/Device.h", '"platform/gl/GlDevice.h"', "platform internals")

    def test_seam_from_above(self):
        self.assertCaught("app/Main.cpp", '"platform/window/GlWindow.h"', "platform internals")

    def test_macro_include_above_platform(self):
        self.assertCaught("render/Device.h", "FT_FREETYPE_H", "macro")

    # A room reaching out of its room.
    def test_room_includes_room_by_platform_path(self):
        self.assertCaught("platform/gl/GlDevice.cpp", '"platform/sound/SoundMixer.h"',
                          "sound/'s internals")

    def test_room_includes_room_by_relative_path(self):
        self.assertCaught("platform/gl/GlDevice.cpp", '"../sound/SoundMixer.h"', "sound/'s internals")

    def test_room_includes_room_by_roundabout_path(self):
        self.assertCaught("platform/gl/GlDevice.cpp", '"./../window/../sound/SoundMixer.h"',
                          "sound/'s internals")

    def test_room_includes_room_from_a_subfolder(self):
        self.assertCaught("platform/sound/detail/Ring.h", '"../../gl/GlDevice.h"', "gl/'s internals")

    def test_room_includes_a_room_header_that_is_not_its_seam(self):
        self.assertCaught("platform/gl/GlDevice.cpp", '"platform/window/PlatformWindow.h"',
                          "window/'s internals")

    def test_room_includes_layer_above(self):
        self.assertCaught("platform/gl/GlDevice.cpp", '"frame/Timer.h"', "above platform/")

    def test_room_includes_layer_above_by_relative_path(self):
        self.assertCaught("platform/sound/SoundSource.cpp", '"../../render/Device.h"', "above platform/")

    def test_room_includes_outside_platform(self):
        self.assertCaught("platform/gl/GlDevice.cpp", '"tests/platform/gl/GlDeviceTest.cpp"', "outside")

    def test_room_includes_past_the_source_root(self):
        self.assertCaught("platform/gl/GlDevice.cpp", '"../../../elsewhere.h"', "source tree")

    def test_room_includes_non_public_top_header(self):
        self.write("platform/Internal.h", ["<cstdint>"])
        self.assertCaught("platform/gl/GlDevice.cpp", '"platform/Internal.h"', "not a public header")

    def test_room_includes_another_rooms_library(self):
        self.assertCaught("platform/gl/GlDevice.cpp", "<SDL2/SDL.h>", "window/", "not gl/")

    def test_sound_includes_the_d3dx_library(self):
        self.assertCaught("platform/sound/SoundSource.cpp", "<png.h>", "d3dx/", "not sound/")

    def test_record_includes_the_desktop_library(self):
        self.assertCaught("platform/record/RecordFile.cpp", "<systemd/sd-bus.h>", "desktop/")

    def test_d3dx_includes_the_record_library(self):
        self.assertCaught("platform/d3dx/DebugFont.cpp", "<libavutil/frame.h>", "record/")

    def test_unknown_library_in_a_room(self):
        self.assertCaught("platform/gl/GlDevice.cpp", "<curl/curl.h>", "not on gl/")

    def test_system_header_not_listed(self):
        self.assertCaught("platform/desktop/Mpris.cpp", "<sys/socket.h>", "not on desktop/")

    def test_macro_include_in_a_room_without_macros(self):
        self.assertCaught("platform/gl/GlDevice.cpp", "FT_FREETYPE_H", "macro")

    def test_unknown_macro_in_d3dx(self):
        self.assertCaught("platform/d3dx/DebugFont.cpp", "PNG_HEADER", "macro")

    # The public headers at the top of platform/.
    def test_public_header_includes_a_room(self):
        self.assertCaught("platform/D3D9.h", '"platform/gl/GlDevice.h"', "not a public header")

    def test_public_header_includes_a_room_by_relative_path(self):
        self.assertCaught("platform/D3D9.h", '"gl/GlDevice.h"', "not a public header")

    def test_public_header_includes_the_seam(self):
        self.assertCaught("platform/Win32.h", '"window/GlWindow.h"', "not a public header")

    def test_public_header_includes_a_library(self):
        self.assertCaught("platform/D3D9.h", "<epoxy/gl.h>", "public header")

    def test_public_header_includes_posix(self):
        self.assertCaught("platform/FMOD.h", "<unistd.h>", "public header")

    def test_public_header_includes_by_macro(self):
        self.assertCaught("platform/D3DX9.h", "FT_FREETYPE_H", "macro", "public header")

    def test_public_header_includes_layer_above(self):
        self.assertCaught("platform/FMOD.h", '"frame/Timer.h"', "above platform/")

    def test_unknown_room(self):
        self.assertCaught("platform/network/Socket.cpp", "<cstdint>", "platform/network/")

    # Where the check does not look.
    def test_tests_bench_and_tools_are_not_walled(self):
        self.plant("tests/app/AppTest.cpp", '"platform/sound/SoundMixer.h"')
        self.plant("bench/frame.cpp", "<curl/curl.h>")
        self.plant("tools/artgen/main.cpp", '"../../app/Main.cpp"')
        self.assertEqual(check_includes.check_tree(self.root), [])

    # The command line.
    def test_main_passes_a_clean_tree(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            self.assertEqual(check_includes.main([self.root]), 0)
        self.assertEqual(out.getvalue(), "include check: 0 problems\n")

    def test_script_fails_a_crossing(self):
        line = self.plant("platform/gl/GlDevice.cpp", '"../sound/SoundMixer.h"')
        run = subprocess.run([sys.executable, os.path.join(HERE, "check_includes.py"), self.root],
                             capture_output=True, text=True)
        self.assertEqual(run.returncode, 1)
        self.assertIn("platform/gl/GlDevice.cpp:%d: " % line, run.stdout)
        self.assertTrue(run.stdout.endswith("include check: 1 problems\n"), run.stdout)


if __name__ == "__main__":
    unittest.main()
