"""Runs the real program on its own virtual X display and drives it with
real input: xdotool for keys and the mouse, a real WM_DELETE_WINDOW for the
close request, ImageMagick for screenshots."""
import glob
import os
import shlex
import shutil
import subprocess
import tempfile
import time
import unittest

BINARY = os.environ.get("VELDMARROW_BINARY", os.path.join(os.path.dirname(__file__), "../../build/veldmarrow"))
DATA = os.environ.get("VELDMARROW_DATA", os.path.join(os.path.dirname(__file__), "../../data"))
CLOSE_TOOL = os.environ.get("VELDMARROW_CLOSE_TOOL", os.path.join(os.path.dirname(BINARY), "tests/send_close_request"))

# A command that runs the program for it, e.g. "qemu-aarch64-static" for a
# build for another processor; empty to run the program directly.
RUNNER = shlex.split(os.environ.get("VELDMARROW_RUNNER", ""))

# The SDL2-based SDL 1.2, installed beside the classic library.
SDL_COMPAT_DIR = os.environ.get("VELDMARROW_SDL_COMPAT_DIR") or next(iter(sorted(glob.glob("/usr/lib/*/sdl12-compat"))),
                                                                      None)

WINDOWS = BINARY.lower().endswith(".exe")
# Windows expectations: logs are text files with CRLF line ends, and SDL
# centres the window's outer frame, so the drawing area sits lower than centred.
LINE_END = b"\r\n" if WINDOWS else b"\n"
# The Linux build beside the Windows one, for comparing the two.
LINUX_BUILD = os.environ.get("VELDMARROW_LINUX_BUILD")

# A Wine prefix for each suite, copied from one made once, so that suites
# can run side by side, each Wine session on its own display.
if os.environ.get("VELDMARROW_WINE_TEMPLATE") and os.environ.get("VELDMARROW_WINE_SESSION"):
    os.environ["WINEPREFIX"] = os.environ["VELDMARROW_WINE_TEMPLATE"] + "-" + os.environ["VELDMARROW_WINE_SESSION"]
    if not os.path.isdir(os.environ["WINEPREFIX"]):
        shutil.copytree(os.environ["VELDMARROW_WINE_TEMPLATE"], os.environ["WINEPREFIX"], symlinks=True)

# Generous: a loaded two-core machine under sanitizers is slow.
TIMEOUT = float(os.environ.get("VELDMARROW_E2E_TIMEOUT", "90"))


def wait_for(predicate, timeout=TIMEOUT, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError("timed out waiting for " + what)


def skip_on_windows(reason):
    """Skips a test that cannot apply to the Windows build, saying why."""
    import unittest
    return unittest.skipIf(WINDOWS, "not on Windows: " + reason)


class VirtualDisplay:
    """An Xvfb server of our own, found by -displayfd and stopped by its pid."""

    def __init__(self, width=1024, height=768):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number
        self.width, self.height = width, height

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        return env

    def run(self, *args, check=True):
        return subprocess.run(list(args), env=self.env(), check=check, capture_output=True, text=True,
                              timeout=TIMEOUT)

    def screenshot(self, path=None):
        """The whole screen as (width, height, rgb bytes); also saved as PNG at path."""
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env(), check=True,
                              capture_output=True, timeout=TIMEOUT).stdout
        image = parse_ppm(data)
        if path:
            save_png(path, image)
        return image

    def stop(self):
        if WINDOWS:
            # Wine's session (its wineserver and desktop process) lives on
            # the display it started on: let it end before the display goes,
            # or the next program joins a session whose display is gone.
            subprocess.run(["env", "-u", "TMPDIR", "wineserver", "--wait"], timeout=TIMEOUT, check=False)
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class DisplayPerTest(unittest.TestCase):
    """Tests that each start a virtual display of their own; every program
    started with launch() is closed before that display stops."""

    def setUp(self):
        self.display = VirtualDisplay()
        self.programs = []

    def tearDown(self):
        for p in self.programs:
            p.close()
        self.display.stop()

    def launch(self, **kwargs):
        p = Program(self.display, **kwargs)
        self.programs.append(p)
        return p


class OneDisplayTest(unittest.TestCase):
    """Tests that share one virtual display, started for the class."""

    @classmethod
    def setUpClass(cls):
        cls.display = VirtualDisplay()

    @classmethod
    def tearDownClass(cls):
        cls.display.stop()


def parse_ppm(data):
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def save_png(path, image):
    w, h, rgb = image
    header = b"P6 %d %d 255\n" % (w, h)
    subprocess.run(["convert", "ppm:-", path], input=header + rgb, check=True, timeout=TIMEOUT)


def load_image(path):
    """Any image file ImageMagick reads, as (width, height, rgb bytes)."""
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True, capture_output=True,
                          timeout=TIMEOUT).stdout
    return parse_ppm(data)


def pixel(image, x, y):
    w, _, rgb = image
    i = (y * w + x) * 3
    return tuple(rgb[i:i + 3])


def crop(image, x0, y0, w, h):
    width, _, rgb = image
    rows = [rgb[((y0 + y) * width + x0) * 3:((y0 + y) * width + x0 + w) * 3] for y in range(h)]
    return w, h, b"".join(rows)


def mean_brightness(image):
    _, _, rgb = image
    return sum(rgb) / max(len(rgb), 1)


def difference(a, b):
    """Mean absolute difference per channel of two same-sized images."""
    return sum(abs(x - y) for x, y in zip(a[2], b[2])) / max(len(a[2]), 1)


def settings_text(width, height):
    """A settings.lua for a window of width x height, no antialiasing and no
    vsync, as the tests and benchmarks play in."""
    return ("screenWidth = %d screenHeight = %d fullscreen = false antialiasing = 0 vsync = false\n"
            % (width, height))


def fill_disk(path):
    """Appends zeros to the file at path until its file system is full."""
    try:
        with open(path, "ab") as f:
            while True:
                f.write(bytes(4096))
                f.flush()
    except OSError:
        pass


def small_tmpfs(test, path, size, skip_if_refused=False):
    """Mounts a tmpfs of `size` (as mount takes it, e.g. "256k") on the folder
    path, made if missing; the test unmounts it and removes the folder at its
    end. Needs root. With skip_if_refused, a mount the system refuses skips
    the test instead of failing it."""
    os.makedirs(path, exist_ok=True)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", path],
                      timeout=TIMEOUT).returncode != 0:
        os.rmdir(path)
        if skip_if_refused:
            test.skipTest("cannot mount a tmpfs here")
        raise AssertionError("cannot mount a tmpfs on " + path)
    # Cleanups run last first: unmounted, then removed.
    test.addCleanup(os.rmdir, path)
    test.addCleanup(subprocess.run, ["umount", path], check=True, timeout=TIMEOUT)
    return path


def make_workdir(settings=None, files=None):
    """A temporary working folder with the data files and a settings.lua;
    `files` maps names to bytes to write, or to None to remove."""
    path = tempfile.mkdtemp(prefix="veldmarrow-e2e-")
    for name in ("splash.png", "menu.bmp"):
        shutil.copy(os.path.join(DATA, name), path)
    with open(os.path.join(path, "settings.lua"), "w") as f:
        f.write(settings if settings is not None else settings_text(800, 600))
    for name, content in (files or {}).items():
        target = os.path.join(path, name)
        if content is None:
            if os.path.isdir(target):
                shutil.rmtree(target)
            elif os.path.exists(target):
                os.remove(target)
        else:
            with open(target, "wb") as f:
                f.write(content)
    return path


class Program:
    """The real program in a temporary working directory."""

    def __init__(self, display, settings=None, files=None, env=None, workdir=None, binary=None, runner=None,
                 args=(), logs=None):
        self.display = display
        self.owns_dir = workdir is None
        self.dir = workdir or make_workdir(settings, files)
        self.logs = logs or self.dir  # where the program writes log.txt
        run_env = display.env() if display else {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        run_env.update(env or {})
        # The process's own error output (sanitizer reports, SDL's messages)
        # is kept beside the logs for diagnosis; the program's error stream
        # proper is error.txt.
        own = self.dir if self.owns_dir else tempfile.mkdtemp(prefix="veldmarrow-e2e-")
        self.made = own  # the folder made for this run, removed by close()
        self.stderr_path = os.path.join(own, "stderr.txt")
        self.stdout_path = os.path.join(own, "stdout.txt")
        try:
            with open(self.stderr_path, "wb") as stderr, open(self.stdout_path, "wb") as stdout:
                command = (RUNNER if runner is None else runner) + [binary or BINARY] + list(args)
                self.process = subprocess.Popen(command, cwd=self.dir, env=run_env, stdout=stdout, stderr=stderr,
                                                stdin=subprocess.DEVNULL)
        except OSError:
            # No caller gets an object to close: the folders go here.
            shutil.rmtree(self.made, ignore_errors=True)
            raise
        self.window = None

    def log(self, name="log.txt"):
        try:
            with open(os.path.join(self.logs, name), encoding="utf-8", errors="replace") as f:
                return f.read().splitlines()
        except OSError:
            return []

    def wait_log(self, line, timeout=TIMEOUT):
        def seen():
            if line in self.log():
                return True
            if self.process.poll() is not None and line not in self.log():
                raise AssertionError("program ended (%s) without logging %r" % (self.process.returncode, line))
            return False
        return wait_for(seen, timeout, what="log line %r" % line)

    def wait_window(self):
        def find():
            if self.process.poll() is not None:
                raise AssertionError("program ended with %s before its window appeared" % self.process.returncode)
            result = self.display.run("xdotool", "search", "--onlyvisible", "--name", "^Veldmarrow$", check=False)
            ids = result.stdout.split()
            return ids[0] if ids else None
        self.window = wait_for(find, what="the window")
        # SDL maps its window small and then sizes it: wait for a real size.
        wait_for(lambda: self.geometry()[2] > 32, what="the window's size")
        self.focus_pointer()
        return self.window

    def wait_splash(self):
        """Waits for the window and the splash screen in it."""
        self.wait_window()
        self.wait_log("IntroState Init")

    def enter_play(self, key="space"):
        """Leaves the splash screen with the key and waits for play to begin."""
        self.key(key)
        self.wait_log("PlayState Init")

    def geometry(self):
        """(x, y, width, height) of the window on the screen."""
        info = self.display.run("xwininfo", "-id", self.window).stdout
        values = {}
        for line in info.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                if line.startswith(key + ":"):
                    values[key] = int(line.split(":")[1])
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"], values["Height"])

    def focus_pointer(self):
        x, y, w, h = self.geometry()
        if WINDOWS:
            # Wine takes keys only in the window it sees activated: give it
            # the X focus, which a pointer inside it alone does not always do.
            self.display.run("xdotool", "windowfocus", self.window, check=False)
        self.display.run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2))

    def key(self, name):
        self.focus_pointer()
        self.display.run("xdotool", "key", name)

    def press_until_exit(self, key):
        """Presses the key every half second until the program ends (for
        runs without a log line to wait for); returns the exit status."""
        def ended():
            if self.process.poll() is not None:
                return True
            self.display.run("xdotool", "key", key, check=False)
            return False
        wait_for(ended, interval=0.5, what="the program to end on " + key)
        return self.process.wait()

    def close_request(self):
        subprocess.run([CLOSE_TOOL, self.window], env=self.display.env(), check=True, timeout=TIMEOUT)

    def window_image(self, path=None):
        x, y, w, h = self.geometry()
        return crop(self.display.screenshot(path), x, y, w, h)

    def settled_image(self):
        """The window's picture once it has stopped changing: input sent
        just before (a button's release, a turn) may reach the program some
        passes later."""
        pictures = [self.window_image()]

        def settled():
            self.wait_frames(5)
            pictures.append(self.window_image())
            return difference(pictures[-2], pictures[-1]) < 0.05
        wait_for(settled, interval=0, what="the picture to settle")
        return pictures[-1]

    def stderr(self):
        with open(self.stderr_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def errors(self):
        """The lines of error.txt."""
        return self.log("error.txt")

    def stdout(self):
        with open(self.stdout_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_exit(self, timeout=TIMEOUT):
        try:
            status = self.process.wait(timeout)
            if status in (66, 67, 68):
                raise AssertionError("sanitizer report (status %d):\n%s" % (status, self.stderr()[-6000:]))
            return status
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise AssertionError("program did not end")

    def frame_lines(self):
        return [l for l in self.log() if l.startswith("timeGetTime delta: ")]

    def wait_frames(self, count, timeout=TIMEOUT):
        start = len(self.frame_lines())
        wait_for(lambda: len(self.frame_lines()) >= start + count, timeout, what="%d frames" % count)

    def hold(self, keys, frames, timeout=TIMEOUT):
        """Holds the keys (xdotool names) down for `frames` passes of play."""
        keys = [keys] if isinstance(keys, str) else keys
        for k in keys:
            self.display.run("xdotool", "keydown", k)
        self.wait_frames(frames, timeout)
        for k in keys:
            self.display.run("xdotool", "keyup", k)

    def look(self, dx, dy, frames_per_step=2, timeout=TIMEOUT, max_step=7):
        """Moves the mouse by exactly (dx, dy) counts. The classic SDL 1.2
        warps the grabbed pointer back to the window's centre only once it is
        within 8 pixels of an edge, and the X server stops it at the edge, so
        a longer step can lose motion: move at most 7 at a time and let the
        program take each step before the next (callers that need no exact
        amount may pass a larger max_step)."""
        steps = max(1, -(-max(abs(dx), abs(dy)) // max_step))
        done_x = done_y = 0
        for i in range(1, steps + 1):
            x, y = dx * i // steps, dy * i // steps
            self.display.run("xdotool", "mousemove_relative", "--", str(x - done_x), str(y - done_y))
            done_x, done_y = x, y
            self.wait_frames(frames_per_step, timeout)

    def dig(self, frames, timeout=TIMEOUT):
        """Holds the left mouse button down for `frames` passes."""
        self.display.run("xdotool", "mousedown", "1")
        self.wait_frames(frames, timeout)
        self.display.run("xdotool", "mouseup", "1")

    def close(self):
        """Ends the program if it still runs and removes the folders made for it."""
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.made, ignore_errors=True)
