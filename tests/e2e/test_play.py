"""Play, end to end: entering it, flying, turning, picking and digging."""
import os
import tempfile
import time
import unittest

from harness import SDL_COMPAT_DIR, Program, VirtualDisplay, crop, difference

SHOTS = os.environ.get("VELDMARROW_SHOTS", os.path.join(tempfile.gettempdir(), "veldmarrow-shots"))
os.makedirs(SHOTS, exist_ok=True)
SEED = {"VELDMARROW_SEED": "20261207"}
SETTINGS = "screenWidth = 640 screenHeight = 480 fullscreen = false antialiasing = 0 vsync = false\n"


class PlayTest(unittest.TestCase):
    def setUp(self):
        self.display = VirtualDisplay()
        self.program = Program(self.display, settings=SETTINGS, env=SEED)
        self.program.wait_window()
        self.program.wait_log("IntroState Init")

    def tearDown(self):
        self.program.close()
        self.display.stop()

    def enter_play(self, key="shift"):
        p = self.program
        p.key(key)
        p.wait_log("PlayState Init")
        p.wait_frames(3)
        return p

    def hold(self, key, frames):
        self.program.hold(key, frames)
        self.program.wait_frames(2)

    def look(self, dx, dy):
        self.program.look(dx, dy)

    def quit_and_check(self, how):
        p = self.program
        if how == "escape":
            p.key("Escape")
        else:
            p.close_request()
        self.assertEqual(p.wait_exit(), 0)
        # Both logs, whole: the states in order, one parsable frame line per
        # pass between PlayState Init and Cleanup, and no error.
        log = p.log()
        self.assertEqual(log[:5], ["Moxwell started...", "GameEngine Init", "IntroState Init", "IntroState Cleanup",
                                   "PlayState Init"])
        self.assertEqual(log[-2:], ["PlayState Cleanup", "GameEngine Cleanup"])
        frames = log[5:-2]
        self.assertGreaterEqual(len(frames), 3)
        for line in frames:
            self.assertTrue(line.startswith("timeGetTime delta: "), line)
            float(line[len("timeGetTime delta: "):])
        self.assertEqual(p.log("error.txt"), ["Moxwell started..."])
        return log

    def test_modifier_key_enters_play_and_escape_ends_it(self):
        self.enter_play("shift")
        self.quit_and_check("escape")

    def test_close_request_ends_play(self):
        self.enter_play("a")
        self.quit_and_check("close")

    def test_rising_and_digging_leave_a_hole_in_the_terrain(self):
        # Few frames: this is also the run of a build for another processor
        # under emulation, where one frame takes about a second.
        p = self.enter_play("space")
        start = p.window_image()
        self.hold("space", 10)
        risen = p.window_image()
        self.assertGreater(difference(start, risen), 0.5, "rising did not move the view")
        w, h = risen[0], risen[1]
        p.dig(4)
        p.wait_frames(2)
        dug = p.window_image(os.path.join(SHOTS, "play-rise-dig.png"))
        self.assertGreater(difference(crop(risen, w // 2 - 40, h // 2 - 40, 80, 80),
                                      crop(dug, w // 2 - 40, h // 2 - 40, 80, 80)), 3.0, "no hole where the view points")
        # Terrain around the hole still fills most of the view (the sky is black).
        _, _, rgb = dug
        lit = sum(1 for i in range(0, len(rgb), 3) if rgb[i] + rgb[i + 1] + rgb[i + 2] > 30)
        self.assertGreater(lit, len(rgb) // 3 // 2, "no terrain in the picture")
        self.quit_and_check("escape")

    def test_flying_turning_and_digging_change_the_picture(self):
        p = self.enter_play("space")
        start = p.window_image(os.path.join(SHOTS, "play-start.png"))
        # Rise well above the terrain (S <= 145): 0.075 per pass.
        self.hold("space", 300)
        risen = p.window_image(os.path.join(SHOTS, "play-risen.png"))
        self.assertGreater(difference(start, risen), 1.0)
        # Look down about 35 degrees: the terrain fills the lower view.
        self.look(0, 480)
        down = p.window_image(os.path.join(SHOTS, "play-looking-down.png"))
        self.assertGreater(difference(risen, down), 1.0)
        # W moves forward over the terrain.
        self.hold("w", 30)
        moved = p.window_image()
        self.assertGreater(difference(down, moved), 0.5)
        # Turning left shows another part of the world.
        self.look(-200, 0)
        turned = p.window_image(os.path.join(SHOTS, "play-turned.png"))
        self.assertGreater(difference(moved, turned), 0.5)

        # The selection box: white pixels around the centre of the view.
        w, h = turned[0], turned[1]
        around = crop(turned, w // 2 - 60, h // 2 - 60, 120, 120)
        whites = sum(1 for i in range(0, len(around[2]), 3) if around[2][i:i + 3] == b"\xff\xff\xff")
        self.assertGreater(whites, 4, "no selection box near the centre")

        # Hold the left button: a hole is drilled where the view points and grows.
        centre_before = crop(turned, w // 2 - 40, h // 2 - 40, 80, 80)
        edge_before = crop(turned, 0, 0, 80, 80)
        self.display.run("xdotool", "mousedown", "1")
        p.wait_frames(5)
        first = p.window_image(os.path.join(SHOTS, "play-dig-first.png"))
        p.wait_frames(40)
        later = p.window_image(os.path.join(SHOTS, "play-dig-later.png"))
        self.display.run("xdotool", "mouseup", "1")
        p.wait_frames(2)
        centre_first = crop(first, w // 2 - 40, h // 2 - 40, 80, 80)
        centre_later = crop(later, w // 2 - 40, h // 2 - 40, 80, 80)
        self.assertGreater(difference(centre_before, centre_first), 3.0, "no hole where the view points")
        self.assertGreater(difference(centre_first, centre_later), 1.0, "the hole does not grow")
        self.assertLess(difference(edge_before, crop(later, 0, 0, 80, 80)), 1.0, "the dig changed the far edge")
        self.quit_and_check("escape")


def library_path(compat):
    """LD_LIBRARY_PATH choosing the classic SDL 1.2 or the SDL2-based one."""
    dirs = [d for d in os.environ.get("LD_LIBRARY_PATH", "").split(":") if d and d != SDL_COMPAT_DIR]
    return ":".join(([SDL_COMPAT_DIR] if compat else []) + dirs)


class BothLibrariesTest(unittest.TestCase):
    @unittest.skipIf(SDL_COMPAT_DIR is None, "the SDL2-based SDL 1.2 is not installed")
    @unittest.skipIf(SDL_COMPAT_DIR is not None and SDL_COMPAT_DIR in os.environ.get("LD_LIBRARY_PATH", ""),
                     "compares both libraries; run once, in the classic pass")
    def test_same_input_gives_the_same_window_and_picture_on_both_sdl_libraries(self):
        seen = {}
        for name in ("classic", "compat"):
            display = VirtualDisplay()
            p = Program(display, settings=SETTINGS, env=dict(SEED, LD_LIBRARY_PATH=library_path(name == "compat")))
            try:
                p.wait_window()
                p.wait_log("IntroState Init")
                geometry = p.geometry()
                p.key("shift")
                p.wait_log("PlayState Init")
                p.wait_frames(3)
                start = p.window_image()
                p.look(-150, 200)
                p.wait_frames(3)
                seen[name] = geometry, start, p.window_image(os.path.join(SHOTS, "look-%s.png" % name))
                p.key("Escape")
                self.assertEqual(p.wait_exit(), 0)
            finally:
                p.close()
                display.stop()
        (classic_geometry, classic_start, classic_look) = seen["classic"]
        (compat_geometry, compat_start, compat_look) = seen["compat"]
        # Centred on the screen, at the configured size, on both.
        self.assertEqual(classic_geometry, ((1024 - 640) // 2, (768 - 480) // 2, 640, 480))
        self.assertEqual(compat_geometry, classic_geometry)
        self.assertGreater(difference(classic_start, classic_look), 1.0, "the mouse did not turn the view")
        self.assertLess(difference(classic_start, compat_start), 0.5)
        self.assertLess(difference(classic_look, compat_look), 0.5, "the same motion turned the view differently")


if __name__ == "__main__":
    unittest.main()
