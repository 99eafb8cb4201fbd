"""Start-up, the splash screen, shutdown and the fatal exits, end to end."""
import os
import shutil
import subprocess
import tempfile
import unittest

from harness import (BINARY, DATA, LINE_END, TIMEOUT, DisplayPerTest, crop, difference, load_image,
                     make_workdir, mean_brightness, pixel, skip_on_windows, wait_for, WINDOWS)

SHOTS = os.environ.get("VELDMARROW_SHOTS", os.path.join(tempfile.gettempdir(), "veldmarrow-shots"))
os.makedirs(SHOTS, exist_ok=True)


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


class StartupTest(DisplayPerTest):
    def start(self, **kwargs):
        return self.launch(**kwargs)

    def test_escape_on_splash_ends_cleanly_with_exact_logs(self):
        p = self.start(settings="print('hello', 42) screenWidth = 640 screenHeight = 480\n",
                       files={"log.txt": b"old log\n" * 50, "error.txt": b"old errors\n"})
        p.wait_window()
        p.wait_log("IntroState Init")
        p.key("Escape")
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.log(), ["Moxwell started...", "hello\t42", "GameEngine Init", "IntroState Init",
                                   "IntroState Cleanup", "GameEngine Cleanup"])
        # Text files: CRLF line ends on Windows, LF elsewhere.
        with open(os.path.join(p.dir, "error.txt"), "rb") as f:
            self.assertEqual(f.read(), b"Moxwell started..." + LINE_END)
        with open(os.path.join(p.dir, "log.txt"), "rb") as f:
            self.assertTrue(f.read().endswith(b"Cleanup" + LINE_END + b"GameEngine Cleanup" + LINE_END))

    def test_window_has_configured_size_and_title(self):
        p = self.start(settings="screenWidth = 640 screenHeight = 360 fullscreen = false vsync = true\n")
        p.wait_window()
        self.assertEqual(p.geometry()[2:], (640, 360))
        self.assertEqual(self.display.run("xdotool", "getwindowname", p.window).stdout.strip(), "Veldmarrow")
        p.close_request()
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.log()[-2:], ["IntroState Cleanup", "GameEngine Cleanup"])

    def test_splash_fades_in_centred(self):
        p = self.start(settings="screenWidth = 800 screenHeight = 600\n")
        p.wait_window()
        p.wait_log("IntroState Init")
        splash = load_image(os.path.join(DATA, "splash.png"))
        sw, sh = splash[0], splash[1]
        x0, y0 = (800 - sw) // 2, (600 - sh) // 2
        early = p.window_image(os.path.join(SHOTS, "splash-early.png"))

        # The fade ends after about a thousand frames: wait for the picture to settle.
        def settled():
            image = p.window_image()
            inner = crop(image, x0, y0, sw, sh)
            return inner if difference(inner, splash) < 2.0 else None
        wait_for(settled, what="the splash to finish fading in")
        final = p.window_image(os.path.join(SHOTS, "splash-final.png"))
        # Centred: the picture sits exactly at the offsets, black around it.
        self.assertLess(difference(crop(final, x0, y0, sw, sh), splash), 2.0)
        self.assertEqual(pixel(final, x0 - 1, y0 + sh // 2), (0, 0, 0))
        self.assertEqual(pixel(final, x0 + sw, y0 + sh // 2), (0, 0, 0))
        self.assertEqual(pixel(final, x0 + sw // 2, y0 - 1), (0, 0, 0))
        self.assertEqual(pixel(final, x0 + sw // 2, y0 + sh), (0, 0, 0))
        self.assertLess(mean_brightness(crop(early, x0, y0, sw, sh)), mean_brightness(splash) * 0.9)
        p.key("Escape")
        self.assertEqual(p.wait_exit(), 0)

    def test_missing_empty_or_8_bit_splash_ends_with_status_1_and_a_reason(self):
        with tempfile.TemporaryDirectory() as work:
            eight_bit = os.path.join(work, "splash8.png")
            subprocess.run(["convert", os.path.join(DATA, "splash.png"), "-colors", "16", "PNG8:" + eight_bit],
                           check=True)
            with open(eight_bit, "rb") as f:
                palettised = f.read()
        for name, content in (("missing", None), ("empty", b""), ("8-bit", palettised)):
            with self.subTest(name):
                p = self.start(files={"splash.png": content})
                self.assertEqual(p.wait_exit(), 1)
                errors = read(os.path.join(p.dir, "error.txt")).splitlines()
                self.assertEqual(errors[0], "Moxwell started...")
                self.assertEqual(len(errors), 2, errors)
                self.assertIn("splash.png", errors[1])
                self.assertEqual(p.log(), ["Moxwell started...", "GameEngine Init"])

    def test_video_mode_that_cannot_be_had_gives_status_3(self):
        p = self.start(settings="screenWidth = 800 screenHeight = 600 antialiasing = 16\n")
        self.assertEqual(p.wait_exit(), 3)
        errors = read(os.path.join(p.dir, "error.txt")).splitlines()
        self.assertEqual(len(errors), 2, errors)
        self.assertIn("video mode", errors[1])

    def test_unwritable_logs_still_run(self):
        # Directories in place of the log files: they cannot be opened for
        # writing, even by root.
        work = make_workdir()
        os.mkdir(os.path.join(work, "log.txt"))
        os.mkdir(os.path.join(work, "error.txt"))
        os.chmod(work, 0o555)
        try:
            q = self.start(workdir=work)
            q.wait_window()
            self.assertEqual(q.press_until_exit("Escape"), 0)
            if WINDOWS:
                return  # a windowed program there has no terminal to say it on
            # One line on the terminal says so: the folder's files are an earlier run's.
            said = [l for l in q.stderr().splitlines() if l.startswith("Veldmarrow: ")]
            self.assertEqual(len(said), 1, said)
            self.assertIn("cannot write log.txt and error.txt in the working folder", said[0])
        finally:
            os.chmod(work, 0o755)
            shutil.rmtree(work)


@skip_on_windows("no display variable there, the desktop is always the session's own")
class NoDisplayTest(unittest.TestCase):
    def run_without_display(self, env):
        """Runs the program with no X display; returns (status, error.txt
        lines, everything it wrote to the terminal)."""
        work = make_workdir()
        try:
            run_env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
            run_env.update(env)
            result = subprocess.run([BINARY], cwd=work, env=run_env, capture_output=True, timeout=TIMEOUT,
                                    stdin=subprocess.DEVNULL)
            return result.returncode, read(os.path.join(work, "error.txt")).splitlines(), result.stdout + result.stderr
        finally:
            shutil.rmtree(work)

    def test_no_display_ends_with_one_reason_and_a_quiet_terminal(self):
        status, errors, terminal = self.run_without_display({"SDL_VIDEODRIVER": ""})
        self.assertEqual(status, 1)
        self.assertEqual(len(errors), 2, errors)
        self.assertEqual(errors[0], "Moxwell started...")
        self.assertTrue(errors[1].startswith("Veldmarrow: no display"), errors)
        self.assertNotIn(b"\x1b", terminal)
        # A driver the user chose is used as chosen: SDL's dummy driver has no
        # OpenGL, so the video mode cannot be set.
        status, errors, terminal = self.run_without_display({"SDL_VIDEODRIVER": "dummy"})
        self.assertEqual(status, 3, errors)
        self.assertIn("video mode", errors[1])


if __name__ == "__main__":
    unittest.main()
