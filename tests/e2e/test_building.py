"""Building and walking, end to end with real input: a column built by hand
is kept in the world and play resumes on the very picture it ended on; a
session of building and walking replays exactly from its demo."""
import os
import shutil
import sqlite3
import zlib

from harness import DisplayPerTest, make_workdir, settings_text
from test_demo import checksum_line, same_pixels

SETTINGS = settings_text(640, 480)
SEED = {"VELDMARROW_SEED": "20261210"}
PLANKS = 5


def click(p, button, frames=3):
    """One press and release of a mouse button, taken by a pass of its own."""
    p.display.run("xdotool", "click", str(button))
    p.wait_frames(frames)


def voxels_of_type(path, kind):
    """(x, y, z) of every stored voxel of `kind` in the world at path."""
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    try:
        found = []
        for number, blob in db.execute("SELECT id, voxels FROM chunk"):
            cx, cy, cz = number % 32, number // 32 % 32, number // 1024
            data = zlib.decompress(blob)
            for i, v in enumerate(data):
                if v == kind:
                    found.append((cx * 16 + i % 16, cy * 16 + i // 16 % 16, cz * 16 + i // 256))
        return sorted(found), db.execute("SELECT walking, selected, hud FROM player").fetchall()
    finally:
        db.close()


class BuildingTest(DisplayPerTest):
    def workdir(self):
        path = make_workdir(SETTINGS)
        self.addCleanup(shutil.rmtree, path, ignore_errors=True)
        return path

    def start(self, workdir, *args):
        p = self.launch(workdir=workdir, env=SEED, args=args)
        p.wait_splash()
        # A key that moves nothing leaves the splash.
        p.enter_play("x")
        p.wait_frames(3)
        return p

    def test_a_column_built_by_hand_is_kept_and_play_resumes_on_the_same_picture(self):
        wd = self.workdir()
        p = self.start(wd, "--world", "built.world")
        p.hold("space", 300)  # above the hills round the start
        p.look(0, 1300, max_step=60)  # straight down
        p.key("5")
        for _ in range(3):
            click(p, 3)
        last = p.settled_image()
        p.display.run("xdotool", "key", "Escape")  # the pointer stays still
        self.assertEqual(p.wait_exit(), 0, p.errors())

        column, player = voxels_of_type(os.path.join(wd, "built.world"), PLANKS)
        self.assertEqual(len(column), 3, column)
        (x, y, z) = column[0]
        self.assertEqual(column, [(x, y, z), (x, y, z + 1), (x, y, z + 2)])
        self.assertEqual(player, [(0, 5, 1)])

        again = self.start(wd, "--world", "built.world")
        self.assertEqual(same_pixels(last, again.window_image()), 0, "the resumed picture is not the last one")
        again.key("Escape")
        self.assertEqual(again.wait_exit(), 0, again.errors())

    def test_a_session_of_building_and_walking_replays_exactly(self):
        rec = self.launch(settings=SETTINGS, env=SEED, args=["--record", "session.demo"])
        rec.wait_splash()
        rec.enter_play("x")
        rec.wait_frames(3)
        rec.hold("space", 300)
        rec.look(0, 500, max_step=40)  # down at the terrain
        rec.key("3")
        click(rec, 3)
        click(rec, 3)
        rec.key("f")  # walking: the body falls to the ground
        rec.wait_frames(200)
        rec.hold("w", 40)
        rec.hold("space", 5)  # a jump
        rec.hold("w", 20)
        rec.display.run("xdotool", "keydown", "ctrl", "click", "1", "keyup", "ctrl")
        rec.wait_frames(3)
        click(rec, 5)  # the wheel, one slot on
        click(rec, 3)
        recorded = rec.settled_image()
        rec.display.run("xdotool", "key", "Escape")
        self.assertEqual(rec.wait_exit(), 0, rec.errors())
        written = next(line for line in rec.log() if line.startswith("Demo written: "))
        passes = int(written.split(", ")[1].split()[0])
        demo = os.path.join(rec.dir, "session.demo")
        with open(demo, "rb") as f:
            data = f.read()
        self.assertEqual(data[8:10], b"\x02\x00", "not a format-2 demo")
        # The world as generated and after the last pass: the building changed it.
        self.assertNotEqual(data[14:22], data[-12:-4], "nothing was built or removed")

        play = self.launch(settings=SETTINGS, env=SEED, args=["--play", demo])
        play.wait_window()
        play.wait_log("Demo ended after %d passes" % passes)
        replayed = play.window_image()
        play.close_request()
        self.assertEqual(play.wait_exit(), 0, play.errors())
        self.assertEqual(checksum_line(play), checksum_line(rec))
        self.assertIn("Terrain checksum matches the recording", play.log())
        self.assertEqual(same_pixels(recorded, replayed), 0)
