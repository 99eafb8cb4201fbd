"""Demos, end to end: a session recorded with real input replays exactly;
the timedemo of the checked-in demo reports; hostile demo files and wrong
arguments are refused with their status and reason."""
import json
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import unittest
import zlib

from harness import (DATA, SDL_COMPAT_DIR, TIMEOUT, WINDOWS, OneDisplayTest, Program, make_workdir, save_png,
                     settings_text, skip_on_windows)

SHORT_DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demos", "short.demo")
SETTINGS = settings_text(320, 240)
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


def short_demo():
    with open(SHORT_DEMO, "rb") as f:
        return f.read()


def with_window(demo, width, height):
    return reseal(demo[:22] + struct.pack("<II", width, height) + demo[30:])


def long_demo(passes):
    """The checked-in demo's world with `passes` passes of standing still:
    far more than any test waits for."""
    good = short_demo()
    head = good[:31 + good[30]]
    return reseal(head + struct.pack("<II", passes, passes + 1) + bytes(passes) + b"\x80" + bytes(8) + bytes(4))


class DemoTest(OneDisplayTest):
    def program(self, args, env=None, settings=SETTINGS, **kwargs):
        p = Program(self.display, settings=settings, env=dict(SEED, **(env or {})), args=args, **kwargs)
        self.addCleanup(p.close)
        return p

    def test_recorded_session_replays_with_the_same_terrain_and_picture(self):
        rec = self.program(["--record", "session.demo"])
        rec.wait_splash()
        rec.enter_play()
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

        # Sizes the format holds but no window here can have.
        for name, (width, height) in {"too wide": (20000, 240), "too many pixels": (16383, 16383)}.items():
            with self.subTest(name):
                p = self.program(["--timedemo", "big.demo"], files={"big.demo": with_window(good, width, height)})
                self.assertEqual(p.wait_exit(), 5, p.errors())
                self.assertEqual(p.errors()[1:], ['Veldmarrow: demo "big.demo" refused: its %dx%d window cannot be '
                                                  'opened here (at most 16383 pixels a side and 33554432 pixels in '
                                                  'all)' % (width, height)])
                self.assertNotIn("GameEngine Init", p.log())

        for args in (["--bogus"], ["--play"], ["--record", "a.demo", "--play", "b.demo"]):
            with self.subTest(" ".join(args)):
                p = self.program(args)
                self.assertEqual(p.wait_exit(), 4)
                self.assertIn("Usage: veldmarrow ", p.stderr())
                self.assertFalse(os.path.exists(os.path.join(p.dir, "log.txt")))

    def assert_untouched(self, p, earlier, others):
        with open(os.path.join(p.dir, "earlier.demo"), "rb") as f:
            self.assertEqual(f.read(), earlier)
        # Nothing left beside it either.
        self.assertEqual(sorted(os.listdir(p.dir)), others)

    @unittest.skipIf(ON_COMPAT, "files around a demo do not depend on the SDL 1.2 library; run in the classic pass")
    def test_an_earlier_demo_survives_recordings_that_write_nothing(self):
        earlier = short_demo()
        files = {"earlier.demo": earlier}
        before = ["earlier.demo", "error.txt", "log.txt", "menu.bmp", "settings.lua", "splash.png", "stderr.txt",
                  "stdout.txt"]
        # Left on the splash: no pass of play, so nothing to write.
        p = self.program(["--record", "earlier.demo"], files=files)
        p.wait_splash()
        p.key("Escape")
        self.assertEqual(p.wait_exit(), 0, p.errors())
        self.assertIn('Demo not written: no pass of play was recorded; "earlier.demo" is as it was', p.log())
        self.assert_untouched(p, earlier, before)
        # Killed in play, and ended by SIGTERM in a settings script that
        # waits: the earlier demo stays whole.
        p = self.program(["--record", "earlier.demo"], files=files)
        p.wait_window()
        p.key("space")
        p.wait_frames(3)
        p.process.kill()
        p.wait_exit()
        self.assert_untouched(p, earlier, before)
        if WINDOWS:
            # Windows has no SIGTERM to send; under Wine it kills the process.
            return
        slow = 'print("settings begin") for i = 1, 600 do os.execute("sleep 0.1") end\n' + SETTINGS
        p = self.program(["--record", "earlier.demo"], files=files, settings=slow)
        p.wait_log("settings begin")
        p.process.send_signal(signal.SIGTERM)
        self.assertEqual(p.wait_exit(), 0, p.errors())
        self.assertEqual(p.log()[-1], "Quit on SIGTERM before the window opened")
        self.assertEqual(p.errors(), ["Moxwell started..."])
        self.assert_untouched(p, earlier, before)

    @unittest.skipIf(ON_COMPAT, "refusing a path does not depend on the SDL 1.2 library; run in the classic pass")
    def test_record_refuses_what_is_not_its_file_before_the_window(self):
        for path, reason in (("a folder", 'demo "a folder" cannot be written: it is a directory'),
                             ("fifo", 'demo "fifo" cannot be written: it is a FIFO'),
                             ("./splash.png", 'demo "./splash.png" refused: it is the program\'s own "splash.png"'),
                             ("no such folder/a.demo", 'demo "no such folder/a.demo" cannot be written: cannot create '
                                                       'a new file in its folder: No such file or directory')):
            with self.subTest(path):
                if WINDOWS and path == "fifo":
                    # Windows has no FIFOs; Wine shows one as a file to open.
                    continue
                work = make_workdir(SETTINGS)
                self.addCleanup(shutil.rmtree, work, True)
                os.mkdir(os.path.join(work, "a folder"))
                os.mkfifo(os.path.join(work, "fifo"))
                before = {name: os.lstat(os.path.join(work, name)) for name in os.listdir(work)}
                p = self.program(["--record", path], workdir=work)
                self.assertEqual(p.wait_exit(), 5, p.errors())
                self.assertEqual(p.errors()[1:], ["Veldmarrow: " + reason])
                self.assertNotIn("GameEngine Init", p.log())
                for name, stat in before.items():
                    now = os.lstat(os.path.join(work, name))
                    self.assertEqual((now.st_mode, now.st_size, now.st_mtime_ns), (stat.st_mode, stat.st_size,
                                                                                   stat.st_mtime_ns), name)

    @skip_on_windows("no SIGTERM to send; under Wine it kills the process")
    def test_an_interrupted_timedemo_says_so(self):
        p = self.program(["--timedemo", "long.demo"], files={"long.demo": long_demo(20000)})
        p.wait_log("PlayState Init")
        p.wait_frames(3)
        p.process.send_signal(signal.SIGTERM)
        self.assertEqual(p.wait_exit(), 8, p.errors())
        ended = next(line for line in p.log() if line.startswith("Demo interrupted after "))
        played = int(ended.split()[3])
        self.assertEqual(ended, "Demo interrupted after %d of 20000 passes" % played)
        self.assertEqual(p.errors()[-1], 'Veldmarrow: demo "long.demo" interrupted after %d of 20000 passes' % played)
        out = p.stdout().splitlines()
        self.assertNotIn("DIFFERS", p.stdout())
        self.assertIn("(not compared: interrupted after %d of 20000 passes)" % played, out[-2])
        report = json.loads(out[-1])
        self.assertEqual((report["complete"], report["matches_recording"], report["passes_played"],
                          report["passes"], report["frames"]), (False, None, played, 20000, played))


if __name__ == "__main__":
    unittest.main()
