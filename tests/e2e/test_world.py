"""Kept worlds, end to end: dig, end, start again in the same world; worlds
that cannot be used are refused with a reason and left untouched; a full
disk during play and at the end; demos recorded in a world."""
import hashlib
import os
import re
import shutil
import sqlite3
import subprocess
import tempfile
import unittest
import zlib

from harness import (BINARY, LINUX_BUILD, TIMEOUT, WINDOWS, DisplayPerTest, Program, VirtualDisplay, crop, difference,
                     fill_disk, make_workdir, settings_text, skip_on_windows, small_tmpfs, wait_for)

SETTINGS = settings_text(640, 480)
SEED = {"VELDMARROW_SEED": "20261209"}
APPLICATION_ID = 0x566C646D
SHOTS = os.environ.get("VELDMARROW_SHOTS", os.path.join(tempfile.gettempdir(), "veldmarrow-shots"))
os.makedirs(SHOTS, exist_ok=True)
# A world saved by the Linux x86-64 build (seed 20261209, 19 dug chunks) and
# the world checksum it was saved with.
SAVED_WORLD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "worlds", "dug.world")
SAVED_TERRAIN = "e262a021178402ff"


def fingerprint(path):
    """The file's bytes and modification time."""
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest(), os.stat(path).st_mtime_ns


def make_world(path, seed=7, checksum=None, chunks=(), width=512, version=1, application_id=APPLICATION_ID,
               journal="WAL"):
    """A world file as the program writes it (or in another journal mode); `chunks` are (id, stored bytes)."""
    db = sqlite3.connect(path)
    db.execute("PRAGMA application_id=%d" % application_id)
    db.execute("PRAGMA user_version=%d" % version)
    db.executescript(
        "CREATE TABLE world (id INTEGER PRIMARY KEY CHECK (id = 1), format INTEGER NOT NULL, program TEXT NOT NULL,"
        " seed INTEGER NOT NULL, width INTEGER NOT NULL, depth INTEGER NOT NULL, height INTEGER NOT NULL,"
        " checksum INTEGER, saves INTEGER NOT NULL, created TEXT NOT NULL, saved TEXT NOT NULL);"
        "CREATE TABLE chunk (id INTEGER PRIMARY KEY, voxels BLOB NOT NULL);")
    db.execute("INSERT INTO world VALUES (1, ?, '0.9.0', ?, ?, 512, 256, ?, 1, 'then', 'then')",
               (version, seed, width, checksum))
    db.executemany("INSERT INTO chunk VALUES (?, ?)", chunks)
    db.commit()
    db.execute("PRAGMA journal_mode=%s" % journal)
    db.close()


class WorldTest(DisplayPerTest):
    def start(self, workdir, *args, env=SEED):
        p = self.launch(workdir=workdir, env=env, args=args)
        p.wait_splash()
        return p

    def run_without_display(self, workdir, *args, runner=None):
        p = Program(None, workdir=workdir, args=args, runner=runner)
        self.programs.append(p)
        return p

    def workdir(self):
        path = make_workdir(SETTINGS)
        self.addCleanup(shutil.rmtree, path, ignore_errors=True)
        return path

    def enter_play(self, p, look_down=True):
        # A key that moves nothing (space would rise while held, Shift sink).
        p.enter_play("x")
        p.wait_frames(3)
        if look_down:
            p.look(0, 60)
            p.wait_frames(3)

    def line(self, p, prefix):
        lines = [l for l in p.log() if l.startswith(prefix)]
        self.assertTrue(lines, "no line starting %r" % prefix)
        return lines[-1]

    def test_dug_world_resumes_with_the_same_terrain_and_picture(self):
        wd = self.workdir()
        # Any letters in the name (Wine reads the arguments by the locale).
        name, utf8 = "мир 世界.db", {"LC_ALL": "C.UTF-8"}
        # An empty file (made by hand, or left by a failed start) is no world
        # yet: the new one takes its place.
        open(os.path.join(wd, name), "wb").close()
        p = self.start(wd, "--world", name, env=dict(SEED, **utf8))
        self.assertTrue(self.line(p, "New world \"%s\": seed 20261209" % name))
        self.enter_play(p)
        fresh = p.window_image()
        p.dig(6)
        dug = p.settled_image()
        self.assertGreater(difference(fresh, dug), 0.5, "digging did not change the picture")
        # Not p.key: moving the pointer back to the centre would turn the view.
        p.display.run("xdotool", "key", "Escape")
        self.assertEqual(p.wait_exit(), 0)
        saved = self.line(p, "World saved at the end: ")
        self.assertEqual(p.errors(), ["Moxwell started..."])
        self.assertEqual(sorted(os.listdir(wd)), ["error.txt", "log.txt", "menu.bmp", "settings.lua", "splash.png",
                                                  name])

        # Another seed in the environment: the world's own seed wins.
        again = self.start(wd, "--world", name, env=dict(utf8, VELDMARROW_SEED="1"))
        # Play resumes where it ended, looking down already.
        self.enter_play(again, look_down=False)
        resumed = again.settled_image()
        loaded = self.line(again, "World loaded: ")
        self.assertEqual(loaded.rsplit(" ", 1)[1], saved.rsplit(" ", 1)[1], "the terrain came back different")
        self.assertLess(difference(dug, resumed), 0.5, "the resumed picture differs from the one at the end")
        again.key("Escape")
        self.assertEqual(again.wait_exit(), 0)

    @skip_on_windows("the display is an X server only on Linux")
    def test_lost_display_saves_the_world_before_ending(self):
        wd = self.workdir()
        p = self.start(wd, "--world", "w.db")
        self.enter_play(p)
        p.dig(4)
        p.wait_frames(2)
        self.display.process.kill()
        self.assertEqual(p.wait_exit(), 7)
        self.assertIn("lost the display", p.errors()[1])
        saved = self.line(p, "World saved at the end: ")
        self.display.stop()
        self.display = VirtualDisplay()
        again = self.start(wd, "--world", "w.db")
        self.enter_play(again, look_down=False)
        self.assertEqual(self.line(again, "World loaded: ").rsplit(" ", 1)[1], saved.rsplit(" ", 1)[1])
        again.key("Escape")
        self.assertEqual(again.wait_exit(), 0)

    def test_world_saved_on_linux_x86_64_opens_here(self):
        wd = self.workdir()
        shutil.copy(SAVED_WORLD, os.path.join(wd, "w.db"))
        p = self.start(wd, "--world", "w.db")
        # Few frames: this is also the run of a build for another processor
        # under emulation, where one frame takes about a second.
        self.enter_play(p, look_down=False)
        self.assertEqual(self.line(p, "World loaded: "), "World loaded: 19 changed chunks, checksum " + SAVED_TERRAIN)
        screen = self.display.screenshot(os.path.join(SHOTS, "world-saved-on-linux.png"))
        x, y, w, h = p.geometry()
        p.key("Escape")
        self.assertEqual(p.wait_exit(), 0)
        if WINDOWS and LINUX_BUILD:
            # The same world through the Linux build: the same first picture.
            shutil.copy(SAVED_WORLD, os.path.join(wd, "w.db"))
            linux = self.launch(workdir=wd, args=["--world", "w.db"], binary=os.path.join(LINUX_BUILD, "veldmarrow"), runner=[])
            linux.wait_splash()
            self.enter_play(linux, look_down=False)
            reference = linux.window_image(os.path.join(SHOTS, "world-linux.png"))
            # Wine's window and its drawing area stand a title bar's height
            # apart: compare at the offset where the pictures meet. Its
            # pointer warp at the start of play can tilt the view by a pixel
            # or two, hence more room than between two Linux runs (the same
            # pictures misaligned differ by more than 4).
            best = min(difference(reference, crop(screen, x, y + dy, w, h)) for dy in range(-40, 41)
                       if 0 <= y + dy and y + dy + h <= screen[1])
            self.assertLess(best, 1.5, "the same world looks different here")
            linux.key("Escape")
            self.assertEqual(linux.wait_exit(), 0)

    def test_worlds_that_cannot_be_used_are_refused_and_left_untouched(self):
        # The reasons for each kind of refusal are the unit tests' (WorldFileTest);
        # here, what the program as a whole does with one: status 9, one line,
        # and not a byte written, nor anything left beside the world.
        wd = self.workdir()
        make_world(os.path.join(wd, "damaged.db"), checksum=1,
                   chunks=[(i, zlib.compress(os.urandom(3000))) for i in range(40)])
        with open(os.path.join(wd, "damaged.db"), "r+b") as f:
            f.seek(4096 * 3)
            f.write(b"\xff" * 200)
        before = fingerprint(os.path.join(wd, "damaged.db"))
        listing = sorted(os.listdir(wd) + ["error.txt", "log.txt"])
        p = self.run_without_display(wd, "--world", "damaged.db")
        self.assertEqual(p.wait_exit(), 9)
        errors = p.errors()
        self.assertEqual(len(errors), 2, errors)
        self.assertIn('world "damaged.db" refused: the file is damaged', errors[1])
        self.assertEqual(fingerprint(os.path.join(wd, "damaged.db")), before, "damaged.db was changed")
        self.assertEqual(sorted(os.listdir(wd)), listing)

        # The seed builds another terrain than the one saved: found once the
        # terrain is built, before play starts, and before a byte is written
        # (a world in rollback-journal mode, too, keeps its header).
        for journal in ("WAL", "DELETE"):
            make_world(os.path.join(wd, "other.db"), checksum=12345, journal=journal)
            other = fingerprint(os.path.join(wd, "other.db"))
            p = self.start(wd, "--world", "other.db")
            p.key("shift")
            self.assertEqual(p.wait_exit(), 9)
            self.assertIn("builds another terrain here", p.errors()[1])
            self.assertEqual(fingerprint(os.path.join(wd, "other.db")), other, journal)
            self.assertFalse(os.path.exists(os.path.join(wd, "other.db-wal")))
            os.remove(os.path.join(wd, "other.db"))

    @skip_on_windows("file permissions and users are POSIX ones here")
    def test_worlds_that_cannot_be_played_for_their_permissions_are_refused_with_the_true_reason(self):
        wd = self.workdir()
        read_only = os.path.join(wd, "locked")
        os.mkdir(read_only)
        for name, mode in (("w.db", 0o444), ("unreadable.db", 0o200), ("locked/w.db", 0o666)):
            make_world(os.path.join(wd, name), checksum=1)
            os.chmod(os.path.join(wd, name), mode)
        os.chmod(read_only, 0o555)
        self.addCleanup(os.chmod, read_only, 0o755)
        before = {name: fingerprint(os.path.join(wd, name)) for name in ("w.db", "locked/w.db")}
        runner = []
        if os.geteuid() == 0:
            # Root writes anywhere: play as an ordinary user.
            os.chmod(wd, 0o777)
            runner = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
            # A build under a private home (a fresh root's /root) cannot be run by that user at all.
            probe = subprocess.run(runner + [os.path.abspath(BINARY), "--version"], capture_output=True, timeout=TIMEOUT)
            if probe.returncode != 0:
                self.skipTest("the program cannot be started as an ordinary user here (status %d)" % probe.returncode)
        cases = {
            "w.db": "refused: the file cannot be written (Permission denied), so play in it would not be kept",
            "unreadable.db": "refused: the file cannot be read (Permission denied)",
            "locked/w.db": 'refused: its folder "locked" cannot be written (Permission denied), and a world needs '
                           'its log beside it',
            "locked/new.db": 'cannot be created in the folder "locked": Permission denied',
        }
        for name, reason in cases.items():
            with self.subTest(world=name):
                p = self.run_without_display(wd, "--world", name, runner=runner)
                self.assertEqual(p.wait_exit(), 9)
                self.assertEqual(p.errors()[1], 'Veldmarrow: world "%s" %s' % (name, reason))
        for name, fp in before.items():
            self.assertEqual(fingerprint(os.path.join(wd, name)), fp, name + " was changed")
        self.assertEqual(sorted(os.listdir(read_only)), ["w.db"])

    @skip_on_windows("mounts a small tmpfs")
    @unittest.skipUnless(hasattr(os, "geteuid") and os.geteuid() == 0, "mounting a small tmpfs needs root")
    def test_full_disk_during_play_and_at_the_end(self):
        wd = self.workdir()
        disk = small_tmpfs(self, os.path.join(wd, "disk"), "512k")
        world = os.path.join("disk", "w.db")
        filler = os.path.join(disk, "filler")
        fill = lambda: fill_disk(filler)

        p = self.start(wd, "--world", world)
        self.enter_play(p)
        saves = lambda: len([l for l in p.log() if l.startswith("World saved: ")])
        fill()
        failures = lambda: [l for l in p.errors() if "cannot save" in l]

        def dig_until(condition, what):
            def step():
                if condition():
                    return True
                p.dig(2)
                p.look(3, 0)
                return False
            wait_for(step, interval=0, what=what)
        dig_until(lambda: failures(), "a failed commit")
        self.assertIn("play goes on and saving is tried again", failures()[0])
        self.assertIn("cannot save", p.stderr())
        # Said once, however many commits fail.
        p.dig(3)
        wait_for(lambda: len(p.frame_lines()) > 0 and "cannot save" in failures()[0], what="more passes")
        p.wait_frames(150)
        self.assertEqual(len(failures()), 1)
        # Room again: the next commit succeeds.
        os.remove(filler)
        count = saves()
        dig_until(lambda: saves() > count, "a commit after the disk had room")
        wait_for(lambda: any("saved again" in l for l in p.errors()), what="the saved-again line")
        last_good = self.line(p, "World saved: ")
        # Full again at the end: the final save fails, and says so.
        fill()
        p.dig(3)
        p.key("Escape")
        self.assertEqual(p.wait_exit(), 11)
        final = p.errors()[-1]
        self.assertRegex(final, r'world "disk/w.db": \d+ changed chunks were not saved \(.*\); '
                                r'the last good save was at \d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC')
        self.assertIn(final[len("Veldmarrow: "):], p.stderr())
        # The file is whole and holds the last good save.
        os.remove(filler)
        again = self.start(wd, "--world", world)
        opened = self.line(again, 'World "disk/w.db"')
        number = int(re.search(r"save (\d+)", last_good).group(1))
        self.assertIn(" %d saves" % number, opened)
        again.key("Escape")
        self.assertEqual(again.wait_exit(), 0)

    def test_demo_recorded_in_a_world_replays_from_its_starting_state_without_writing_it(self):
        wd = self.workdir()
        first = self.start(wd, "--world", "w.db")
        self.enter_play(first)
        first.dig(4)
        first.wait_frames(3)
        first.key("Escape")
        self.assertEqual(first.wait_exit(), 0)
        shutil.copy(os.path.join(wd, "w.db"), os.path.join(wd, "start.db"))

        rec = self.start(wd, "--world", "w.db", "--record", "dig.demo")
        self.enter_play(rec)
        rec.dig(4)
        rec.wait_frames(3)
        rec.key("Escape")
        self.assertEqual(rec.wait_exit(), 0)

        start = fingerprint(os.path.join(wd, "start.db"))
        now = fingerprint(os.path.join(wd, "w.db"))
        listing = sorted(os.listdir(wd))
        replay = self.launch(workdir=wd, args=["--world", "start.db", "--timedemo", "dig.demo"])
        self.assertEqual(replay.wait_exit(), 0)
        self.assertIn("Terrain checksum matches the recording", replay.log())
        # The world has moved on since the recording began: refused.
        moved = self.launch(workdir=wd, args=["--world", "w.db", "--timedemo", "dig.demo"])
        self.assertEqual(moved.wait_exit(), 5)
        self.assertIn("not recorded from the state world \"w.db\" is in now", moved.errors()[1])
        self.assertEqual(fingerprint(os.path.join(wd, "start.db")), start)
        self.assertEqual(fingerprint(os.path.join(wd, "w.db")), now)
        self.assertEqual(sorted(os.listdir(wd)), listing)


if __name__ == "__main__":
    unittest.main()
