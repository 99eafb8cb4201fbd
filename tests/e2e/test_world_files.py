"""A kept world among other programs, the player's own files and small
disks: two programs started at once on one new world, the player's files
beside it and links to it, a start that fails before play, and a log that
stays small on a small disk."""
import os
import re
import shutil
import signal
import sqlite3
import unittest

from harness import (TIMEOUT, WINDOWS, DisplayPerTest, make_workdir, settings_text, skip_on_windows, small_tmpfs,
                     wait_for)

SETTINGS = settings_text(640, 480)
SEED = {"VELDMARROW_SEED": "20261209"}
RACES = int(os.environ.get("VELDMARROW_RACES", "3" if WINDOWS else "10"))
SAVED_WORLD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "worlds", "dug.world")
# The log's documented bound during play.
LOG_BOUND = 512 * 1024
# The log is folded in once a save leaves it this large.
FOLD_ABOVE = 192 * 1024


def world_rows(path):
    """The world's facts row, after SQLite's own integrity check (read as
    immutable: nothing is put beside the file)."""
    db = sqlite3.connect("file:%s?immutable=1" % path, uri=True)
    try:
        assert db.execute("PRAGMA integrity_check").fetchone()[0] == "ok"
        return db.execute("SELECT seed, saves FROM world").fetchall()
    finally:
        db.close()


def read(path):
    with open(path, "rb") as f:
        return f.read()


class WorldFilesTest(DisplayPerTest):
    def workdir(self, **kwargs):
        path = make_workdir(SETTINGS, **kwargs)
        self.addCleanup(shutil.rmtree, path, ignore_errors=True)
        return path

    def start(self, workdir, *args):
        p = self.launch(workdir=workdir, env=SEED, args=args)
        p.wait_splash()
        return p

    def play_and_quit(self, p):
        p.enter_play("x")
        p.wait_frames(2)
        p.key("Escape")
        self.assertEqual(p.wait_exit(), 0)

    def leftovers(self, folder):
        return [n for n in os.listdir(folder) if ".veldmarrow-new-" in n or n.endswith("-wal")]

    def test_two_programs_started_at_once_on_a_new_world_one_plays_and_the_other_is_refused(self):
        shared = self.workdir()
        world = os.path.join(shared, "new.world")
        wins = {0: 0, 1: 0}
        for race in range(RACES):
            pair = [self.launch(workdir=self.workdir(), env=SEED, args=["--world", world]) for _ in range(2)]
            ended = wait_for(lambda: [p for p in pair if p.process.poll() is not None], what="one of the two to end")
            self.assertEqual(len(ended), 1, "race %d: both ended" % race)
            loser = ended[0]
            winner = pair[1 - pair.index(loser)]
            self.assertEqual(loser.wait_exit(), 10, "race %d: %s" % (race, loser.errors()))
            self.assertIn('world "%s" is in use by another running Veldmarrow' % world, loser.errors()[1])
            winner.wait_splash()
            self.play_and_quit(winner)
            self.assertEqual(world_rows(world), [(20261209, 1)], "race %d" % race)
            self.assertEqual(self.leftovers(shared), [])
            wins[pair.index(winner)] += 1
            os.remove(world)
        print("%d races: the first started won %d, the second %d" % (RACES, wins[0], wins[1]))

    def test_the_players_files_beside_a_world_and_links_to_it_stay_as_they_are(self):
        wd = self.workdir()
        mine = {"w.world.new": b"my own notes\n", "w.world.new-journal": b"and more\n"}
        for name, data in mine.items():
            with open(os.path.join(wd, name), "wb") as f:
                f.write(data)
        p = self.start(wd, "--world", "w.world")
        self.play_and_quit(p)
        for name, data in mine.items():
            self.assertEqual(read(os.path.join(wd, name)), data, name)
        self.assertEqual(world_rows(os.path.join(wd, "w.world"))[0][0], 20261209)
        if WINDOWS:
            return  # the links made here are Unix ones, which Wine shows as plain files
        # A dangling link creates its target; a link to a world is played in
        # at its target; the link stays a link.
        os.mkdir(os.path.join(wd, "store"))
        os.symlink(os.path.join("store", "real.world"), os.path.join(wd, "link.world"))
        for opened in ("New world", "World"):
            p = self.start(wd, "--world", "link.world")
            self.assertIn('%s "link.world": seed 20261209' % opened, "\n".join(p.log()))
            self.play_and_quit(p)
            self.assertTrue(os.path.islink(os.path.join(wd, "link.world")))
            self.assertEqual(sorted(os.listdir(os.path.join(wd, "store"))), ["real.world"])
        self.assertEqual(world_rows(os.path.join(wd, "store", "real.world")), [(20261209, 1)])

    def test_a_start_that_fails_before_play_leaves_nothing_beside_the_world(self):
        wd = self.workdir(files={"splash.png": None})
        shutil.copy(SAVED_WORLD, os.path.join(wd, "old.world"))
        before = read(os.path.join(wd, "old.world")), os.stat(os.path.join(wd, "old.world")).st_mtime_ns
        listing = sorted(os.listdir(wd) + ["error.txt", "log.txt"])
        for name in ("new.world", "old.world"):
            p = self.launch(workdir=wd, env=SEED, args=["--world", name])
            self.assertEqual(p.wait_exit(), 1)
            self.assertIn('cannot load image "splash.png"', p.errors()[1])
            self.assertEqual(sorted(os.listdir(wd)), listing, name)
        self.assertEqual((read(os.path.join(wd, "old.world")), os.stat(os.path.join(wd, "old.world")).st_mtime_ns),
                         before)

    @skip_on_windows("mounts a small tmpfs")
    @unittest.skipUnless(hasattr(os, "geteuid") and os.geteuid() == 0, "mounting a small tmpfs needs root")
    def test_a_small_disk_keeps_saving_with_a_small_log_and_a_log_left_over_is_folded_at_the_next_start(self):
        wd = self.workdir()
        disk = small_tmpfs(self, os.path.join(wd, "disk"), "1m")
        log = os.path.join(disk, "w.world-wal")
        p = self.start(wd, "--world", "disk/w.world")
        p.enter_play("x")
        p.look(0, 60)
        largest = [0]

        def log_size():
            size = os.path.getsize(log) if os.path.exists(log) else 0
            largest[0] = max(largest[0], size)
            return size

        folds = lambda: [l for l in p.log() if l.startswith("World log folded: ")]

        # Dig across fresh ground until the log has been folded in three times.
        def dig_on():
            log_size()
            if len(folds()) >= 3:
                return True
            p.dig(3)
            p.look(9, 0, max_step=9)
            return False
        wait_for(dig_on, interval=0, timeout=max(TIMEOUT, 600), what="three folds of the log")
        self.assertEqual([l for l in p.errors() if "cannot save" in l or "folded" in l], [])
        logged = [int(m.group(1)) for m in (re.search(r", log (\d+) KiB, ", l) for l in p.log()) if m]
        self.assertLessEqual(max(logged) * 1024, LOG_BOUND)
        self.assertLessEqual(largest[0], LOG_BOUND)
        # Killed with the log not yet folded in: the next start folds it.
        def saved_lines():
            return [l for l in p.log() if l.startswith("World saved: ")]
        before = len(saved_lines())

        def unfolded_save():
            lines = saved_lines()
            kib = int(re.search(r", log (\d+) KiB, ", lines[-1]).group(1)) if len(lines) > before else 0
            if 8 <= kib and kib * 1024 < FOLD_ABOVE:
                return True
            p.dig(2)
            p.look(9, 0, max_step=9)
            return False
        wait_for(unfolded_save, interval=0, what="a save that leaves its log unfolded")
        p.process.send_signal(signal.SIGKILL)
        p.wait_exit()
        left = os.path.getsize(log)
        self.assertGreater(left, 0)
        again = self.start(wd, "--world", "disk/w.world")
        again.enter_play("x")
        # Folded in, the log begins anew with the one page that carries its header.
        page = int.from_bytes(read(os.path.join(disk, "w.world"))[16:18], "big")
        self.assertLessEqual(os.path.getsize(log), 32 + 24 + page, "the log left over was not folded in")
        again.key("Escape")
        self.assertEqual(again.wait_exit(), 0)
        self.assertFalse(os.path.exists(log))
        print("largest log %d bytes (%d KiB in the save lines); %d bytes left over, folded at the next start"
              % (largest[0], max(logged), left))


if __name__ == "__main__":
    unittest.main()
