"""Demos, end to end: a session recorded with real input replays exactly;
the timedemo of the checked-in demo reports; hostile demo files and wrong
arguments are refused with their status and reason."""
import json
import os
import struct
import subprocess
import tempfile
import unittest
import zlib

import shutil

from harness import DATA, SDL_COMPAT_DIR, TIMEOUT, OneDisplayTest, Program, save_png, skip_on_windows

SHORT_DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demos", "short.demo")
SETTINGS = "screenWidth = 320 screenHeight = 240 fullscreen = false antialiasing = 0 vsync = false\n"
SEED = {"VELDMARROW_SEED": "20261207"}
ON_COMPAT = SDL_COMPAT_DIR is not None and SDL_COMPAT_DIR in os.environ.get("LD_LIBRARY_PATH", "")


def checksum_line(program):
    return next(line for line in program.log() if line.startswith("Terrain checksum: "))


def same_pixels(a, b):
    """ImageMagick's count of differing pixels between two window images."""
    with tempfile.TemporaryDirectory() as work:
        paths = [os.path.join(work, name) for name in ("a.png", "b.png")]
        save_png(paths[0], a)
        save_png(paths[1], b)
        result = subprocess.run(["compare", "-metric", "AE"] + paths + ["null:"], capture_output=True, text=True,
                                timeout=TIMEOUT)
        return float(result.stderr.split()[0])


def reseal(data):
    """The demo bytes with the trailing CRC-32 made right again."""
    return data[:-4] + struct.pack("<I", zlib.crc32(data[:-4]))


class DemoTest(OneDisplayTest):
    def program(self, args, env=None, **kwargs):
        p = Program(self.display, settings=SETTINGS, env=dict(SEED, **(env or {})), args=args, **kwargs)
        self.addCleanup(p.close)
        return p

    def test_recorded_session_replays_with_the_same_terrain_and_picture(self):
        rec = self.program(["--record", "session.demo"])
        rec.wait_window()
        rec.wait_log("IntroState Init")
        rec.key("space")
        rec.wait_log("PlayState Init")
        rec.hold("space", 20)
        rec.look(0, 260, max_step=40)  # down at the terrain
        rec.dig(8)
        rec.hold(["w", "d"], 25)
        rec.look(-90, 20, max_step=40)
        rec.dig(6)
        rec.wait_frames(5)
        recorded = rec.window_image()
        # Escape without moving the pointer: the last passes stay still.
        self.display.run("xdotool", "key", "Escape")
        self.assertEqual(rec.wait_exit(), 0, rec.errors())
        written = next(line for line in rec.log() if line.startswith("Demo written: "))
        passes = int(written.split(", ")[1].split()[0])
        demo = os.path.join(rec.dir, "session.demo")

        play = self.program(["--play", demo])
        play.wait_window()
        play.wait_log("Demo ended after %d passes" % passes)
        replayed = play.window_image()
        play.close_request()
        self.assertEqual(play.wait_exit(), 0, play.errors())
        self.assertEqual(checksum_line(play), checksum_line(rec))
        self.assertIn("Terrain checksum matches the recording", play.log())
        self.assertEqual(same_pixels(recorded, replayed), 0)

    def test_timedemo_of_the_checked_in_demo_reports(self):
        # The demo was recorded on the classic SDL 1.2; the SDL2-based stage
        # thus also replays it across libraries.
        p = self.program(["--timedemo", SHORT_DEMO])
        self.assertEqual(p.wait_exit(timeout=600), 0, p.errors())
        out = p.stdout().splitlines()
        self.assertEqual(out[0], "Timedemo " + SHORT_DEMO)
        for label in ("frames:", "frame time:", "start to first frame of play:", "peak resident memory:",
                      "terrain checksum:"):
            self.assertTrue(any(line.strip().startswith(label) for line in out), label)
        report = json.loads(out[-1])
        self.assertEqual(report["frames"], 120)
        self.assertTrue(report["matches_recording"])
        self.assertGreater(report["seconds"], 0)
        self.assertLessEqual(report["frame_ms"]["median"], report["frame_ms"]["p90"])
        self.assertLessEqual(report["frame_ms"]["p99"], report["frame_ms"]["max"])
        self.assertGreater(report["peak_rss_bytes"], 64 << 20)  # the voxels alone are 64 MiB
        self.assertEqual(checksum_line(p), "Terrain checksum: " + report["terrain_checksum"])
        self.assertEqual(p.log()[-1], out[-1])  # the same JSON line in log.txt

    @skip_on_windows("the installed command's folder is a Linux desktop's")
    @unittest.skipIf(ON_COMPAT, "finding files does not depend on the SDL 1.2 library; run in the classic pass")
    def test_installed_command_works_in_the_users_folder_and_reads_files_where_typed(self):
        # As /usr/games/veldmarrow starts it: --data-dir names the packaged files.
        home = tempfile.mkdtemp(prefix="veldmarrow-e2e-home-")
        self.addCleanup(shutil.rmtree, home)
        folder = os.path.join(home, "veldmarrow")
        with open(SHORT_DEMO, "rb") as f:
            demo = f.read()
        # The demo is named relative to where the command is typed.
        p = self.program(["--data-dir", DATA, "--timedemo", "short.demo"], env={"XDG_DATA_HOME": home},
                         files={"short.demo": demo, "settings.lua": None, "splash.png": None, "menu.bmp": None})
        self.assertEqual(p.wait_exit(timeout=600), 0, p.stderr())
        with open(os.path.join(DATA, "settings.lua"), "rb") as a, open(os.path.join(folder, "settings.lua"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        with open(os.path.join(folder, "log.txt")) as f:
            self.assertIn("Terrain checksum matches the recording", f.read().splitlines())
        self.assertFalse(os.path.exists(os.path.join(p.dir, "log.txt")))
        self.assertEqual(p.stdout().splitlines()[0], "Timedemo " + os.path.join(os.path.realpath(p.dir), "short.demo"))

    @unittest.skipIf(ON_COMPAT, "reading demo files does not depend on the SDL 1.2 library; run in the classic pass")
    def test_hostile_demos_and_wrong_arguments_are_refused(self):
        with open(SHORT_DEMO, "rb") as f:
            good = f.read()
        with open(os.path.join(DATA, "splash.png"), "rb") as f:
            picture = f.read()
        version_end = 8 + 2 + 4 + 8 + 4 + 4 + 1 + good[30]
        cases = {
            "corrupted": (good[:40] + bytes([good[40] ^ 1]) + good[41:], "checksum does not match"),
            "truncated": (good[:len(good) // 2], "checksum does not match"),
            "wrong version": (reseal(good[:8] + struct.pack("<H", 7) + good[10:]), "format version 7"),
            "huge declared length": (reseal(good[:version_end + 4] + struct.pack("<I", 0xFFFFFFF0) +
                                            good[version_end + 8:]), "bytes of passes declared"),
            "not a demo": (picture, "not a Veldmarrow demo"),
            "empty": (b"", "not a Veldmarrow demo"),
            "missing": (None, "No such file"),
            "a folder": (".", "not a regular file"),
            "another world": (reseal(good[:14] + struct.pack("<Q", 12345) + good[22:]), "builds a different world"),
        }
        for name, (content, reason) in cases.items():
            with self.subTest(name):
                path = content if content == "." else "the.demo"
                files = {"the.demo": content} if isinstance(content, bytes) else {}
                p = self.program(["--timedemo", path], files=files)
                self.assertEqual(p.wait_exit(), 5, p.errors())
                lines = p.errors()
                self.assertEqual(len(lines), 2, lines)
                self.assertIn(reason, lines[1])
                self.assertNotIn("Terrain checksum: ", "\n".join(p.log()))

        for args in (["--bogus"], ["--play"], ["--record", "a.demo", "--play", "b.demo"]):
            with self.subTest(" ".join(args)):
                p = self.program(args)
                self.assertEqual(p.wait_exit(), 4)
                self.assertIn("Usage: veldmarrow ", p.stderr())
                self.assertFalse(os.path.exists(os.path.join(p.dir, "log.txt")))


if __name__ == "__main__":
    unittest.main()
