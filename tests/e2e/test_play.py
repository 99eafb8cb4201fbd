"""Play, end to end: entering it, flying, turning, picking and digging."""
import os
import tempfile
import time
import unittest

from harness import (BINARY, LINUX_BUILD, SDL_COMPAT_DIR, WINDOWS, Program, VirtualDisplay, crop, difference,
                     settings_text, skip_on_windows)

SHOTS = os.environ.get("VELDMARROW_SHOTS", os.path.join(tempfile.gettempdir(), "veldmarrow-shots"))
os.makedirs(SHOTS, exist_ok=True)
SEED = {"VELDMARROW_SEED": "20261207"}
SETTINGS = settings_text(640, 480)


class PlayTest(unittest.TestCase):
    def setUp(self):
        self.display = VirtualDisplay()
        self.program = Program(self.display, settings=SETTINGS, env=SEED)
        self.program.wait_splash()

    def tearDown(self):
        self.program.close()
        self.display.stop()

    def enter_play(self, key="x"):
        p = self.program
        p.enter_play(key)
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


def look_around(name, binary=None, env=None, runner=None):
    """Enters play with the fixed seed, turns with a fixed mouse motion and
    ends; returns the window's geometry, the first picture and the turned one."""
    display = VirtualDisplay()
    p = Program(display, settings=SETTINGS, env=dict(SEED, **(env or {})), binary=binary, runner=runner)
    try:
        p.wait_splash()
        geometry = p.geometry()
        p.enter_play("x")
        p.wait_frames(3)
        start = p.window_image()
        p.look(-150, 200)
        p.wait_frames(3)
        look = p.window_image(os.path.join(SHOTS, "look-%s.png" % name))
        p.key("Escape")
        assert p.wait_exit() == 0
        return geometry, start, look
    finally:
        p.close()
        display.stop()


class BothLibrariesTest(unittest.TestCase):
    @skip_on_windows("the two SDL 1.2 libraries are Linux's")
    @unittest.skipIf(SDL_COMPAT_DIR is None, "the SDL2-based SDL 1.2 is not installed")
    @unittest.skipIf(SDL_COMPAT_DIR is not None and SDL_COMPAT_DIR in os.environ.get("LD_LIBRARY_PATH", ""),
                     "compares both libraries; run once, in the classic pass")
    def test_same_input_gives_the_same_window_and_picture_on_both_sdl_libraries(self):
        classic_geometry, classic_start, classic_look = look_around("classic", env={"LD_LIBRARY_PATH": library_path(False)})
        compat_geometry, compat_start, compat_look = look_around("compat", env={"LD_LIBRARY_PATH": library_path(True)})
        # Centred on the screen, at the configured size, on both.
        self.assertEqual(classic_geometry, ((1024 - 640) // 2, (768 - 480) // 2, 640, 480))
        self.assertEqual(compat_geometry, classic_geometry)
        self.assertGreater(difference(classic_start, classic_look), 1.0, "the mouse did not turn the view")
        self.assertLess(difference(classic_start, compat_start), 0.5)
        self.assertLess(difference(classic_look, compat_look), 0.5, "the same motion turned the view differently")


class LinuxAndWindowsTest(unittest.TestCase):
    @unittest.skipUnless(WINDOWS and LINUX_BUILD, "compares the Windows build with the Linux one (Windows stage)")
    def test_same_seed_and_input_give_the_same_picture_on_linux_and_windows(self):
        linux_geometry, linux_start, linux_look = look_around("linux", binary=os.path.join(LINUX_BUILD, "veldmarrow"),
                                                           runner=[])
        windows_geometry, windows_start, windows_look = look_around("windows", binary=BINARY)
        # Windows centres the window's outer frame, title bar included, not its
        # drawing area: the same size and column, a few pixels lower than on X11.
        self.assertEqual(windows_geometry[0], linux_geometry[0])
        self.assertEqual(windows_geometry[2:], linux_geometry[2:])
        self.assertGreater(windows_geometry[1], linux_geometry[1])
        self.assertLess(windows_geometry[1], linux_geometry[1] + 40)
        # The same world from the same seed, seen alike after the same key.
        self.assertLess(difference(linux_start, windows_start), 0.5, "another picture from the same seed and key")
        # The mouse turns the view on both. How far is not compared: under a
        # loaded Wine, SDL's pointer warps race the test's motion and lose some.
        self.assertGreater(difference(linux_start, linux_look), 1.0, "the mouse did not turn the view on Linux")
        self.assertGreater(difference(windows_start, windows_look), 1.0, "the mouse did not turn the view on Windows")


if __name__ == "__main__":
    unittest.main()
