"""Hard faults against the real program in play: a fatal signal, a hang-up,
the X server killed, a full disk and exhausted memory. Each ends promptly
with its documented status and says why."""
import os
import resource
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from harness import (BINARY, DATA, RUNNER, TIMEOUT, WINDOWS, DisplayPerTest, settings_text, skip_on_windows,
                     small_tmpfs, wait_for)

SEED = {"VELDMARROW_SEED": "20261207"}
# The Windows build's counterpart of `kill -SEGV` (Wine turns no Linux signal
# into a Windows fault): a thread started in the program at address 0.
FAULT_TOOL = os.environ.get("VELDMARROW_FAULT_TOOL")
SETTINGS = settings_text(320, 240)
PREFIX = "timeGetTime delta: "


def read_lines(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()
    except OSError:
        return []


def sanitized_build():
    # AddressSanitizer reserves terabytes of address space, so no address
    # space limit can be set on its build.
    with open(BINARY, "rb") as f:
        return b"__asan_init" in f.read()


class FaultTest(DisplayPerTest):
    def start(self, **kwargs):
        p = self.launch(settings=SETTINGS, env=SEED, **kwargs)
        p.wait_splash()
        return p

    def play(self, **kwargs):
        p = self.start(**kwargs)
        p.enter_play()
        p.wait_frames(3)
        return p

    def errors(self, p):
        return read_lines(os.path.join(p.dir, "error.txt"))

    def ended_in(self, p, since):
        """Waits for the end (generous, for a loaded machine); returns the
        status and the seconds it took."""
        status = p.wait_exit()
        return status, time.monotonic() - since

    def test_fatal_signal_in_play_ends_at_once_with_the_signal_named(self):
        p = self.play()
        sent = time.monotonic()
        if WINDOWS:
            subprocess.run(RUNNER + [FAULT_TOOL], env=self.display.env(), check=True, timeout=TIMEOUT)
        else:
            os.kill(p.process.pid, signal.SIGSEGV)
        status, seconds = self.ended_in(p, sent)
        self.assertEqual(status, 128 + 11, self.errors(p))  # SIGSEGV is 11 on both
        self.assertEqual(self.errors(p)[1:], ["Veldmarrow: fatal signal 11 (SIGSEGV, invalid memory access); "
                                              "ending with status 139"])
        print("ended %.2f s after the signal" % seconds)

    @skip_on_windows("Windows has no hang-up signal")
    def test_hangup_ends_cleanly(self):
        p = self.play()
        os.kill(p.process.pid, signal.SIGHUP)
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.log()[-2:], ["PlayState Cleanup", "GameEngine Cleanup"])
        self.assertEqual(self.errors(p), ["Moxwell started..."])

    @skip_on_windows("Windows has no X server to lose; Wine's own ends first")
    def test_x_server_killed_ends_with_display_lost(self):
        p = self.play()
        self.display.process.kill()
        killed = time.monotonic()
        status, seconds = self.ended_in(p, killed)
        self.assertEqual(status, 7, self.errors(p))
        self.assertEqual(self.errors(p)[1:], ["Veldmarrow: lost the display: the connection to the X server was closed"])
        print("ended %.2f s after the X server" % seconds)

    @skip_on_windows("a full disk is the C runtime's own write failing, as on Linux; tested there")
    def test_full_disk_keeps_whole_lines_and_says_once_that_logging_stopped(self):
        if os.geteuid() != 0:
            self.skipTest("mounting a small file system needs root")
        # Eight pages: the picture, the settings and error.txt take one each,
        # a filler three, so log.txt fills its first page and then the disk.
        # The programs end in tearDown, before the disk is unmounted.
        mount = small_tmpfs(self, tempfile.mkdtemp(prefix="veldmarrow-tmpfs-"), "32k", skip_if_refused=True)
        shutil.copy(os.path.join(DATA, "splash.png"), mount)
        with open(os.path.join(mount, "settings.lua"), "w") as f:
            f.write(SETTINGS)
        with open(os.path.join(mount, "filler"), "wb") as f:
            f.write(b"\0" * 3 * 4096)
        p = self.start(workdir=mount)
        p.key("space")
        notice = "Veldmarrow: logging to log.txt stopped after "
        line = wait_for(lambda: next((l for l in self.errors(p) if l.startswith(notice)), None),
                        what="the notice that logging stopped")
        self.assertTrue(line.endswith(" lines: No space left on device"), line)
        p.key("Escape")
        self.assertEqual(p.wait_exit(), 0)
        with open(os.path.join(mount, "log.txt"), "rb") as f:
            log = f.read().decode()
        self.assertTrue(log.endswith("\n"))
        lines = log.splitlines()
        self.assertEqual(len(lines), int(line[len(notice):].split()[0]))
        self.assertIn("PlayState Init", lines)
        for l in lines[lines.index("PlayState Init") + 1:]:
            self.assertTrue(l.startswith(PREFIX), l)
            float(l[len(PREFIX):])
        self.assertEqual([l for l in self.errors(p) if l.startswith(notice)], [line])
        self.assertEqual(p.stderr().count(notice), 1, p.stderr())

    @skip_on_windows("Wine itself stalls under an address-space limit, and enforces no job memory limit")
    def test_out_of_memory_in_own_code_names_what_was_being_built(self):
        if sanitized_build():
            self.skipTest("no address space limit under AddressSanitizer")
        p = self.start()
        # Room for what the splash screen holds, not for the 64 MiB terrain.
        with open("/proc/%d/status" % p.process.pid) as f:
            size = next(int(l.split()[1]) for l in f if l.startswith("VmSize:")) * 1024
        resource.prlimit(p.process.pid, resource.RLIMIT_AS, (size + (16 << 20), resource.RLIM_INFINITY))
        p.key("space")
        self.assertEqual(p.wait_exit(), 6)
        self.assertEqual(self.errors(p)[1:], ["Veldmarrow: out of memory while generating the terrain"])

    @skip_on_windows("Wine itself stalls under an address-space limit, and enforces no job memory limit")
    def test_too_little_memory_for_the_display_lists_ends_before_the_driver_crashes_and_stops_digging(self):
        if sanitized_build():
            self.skipTest("no address space limit under AddressSanitizer")
        def vm_size(p):
            with open("/proc/%d/status" % p.process.pid) as f:
                return next(int(l.split()[1]) for l in f if l.startswith("VmSize:")) * 1024

        # Room for the 64 MiB terrain, not for its lists (about 250 MiB).
        p = self.start()
        resource.prlimit(p.process.pid, resource.RLIMIT_AS, (vm_size(p) + (160 << 20), resource.RLIM_INFINITY))
        p.key("space")
        self.assertEqual(p.wait_exit(), 6)
        line = self.errors(p)[1:]
        self.assertEqual(len(line), 1, line)
        self.assertRegex(line[0], r"^Veldmarrow: out of memory while building the terrain's display lists: "
                                  r"about \d+ MiB needed, \d+ MiB available$")
        # In play, a dig the memory left cannot rebuild is refused, once said, and play goes on.
        p = self.start()
        p.enter_play()
        p.look(0, 60)
        resource.prlimit(p.process.pid, resource.RLIMIT_AS, (vm_size(p) + (4 << 20), resource.RLIM_INFINITY))
        for _ in range(2):
            p.dig(2)
        p.wait_frames(3)
        p.key("Escape")
        self.assertEqual(p.wait_exit(), 0)
        said = [l for l in self.errors(p) if "digging stopped" in l]
        self.assertEqual(len(said), 1, self.errors(p))
        self.assertRegex(said[0], r"^Veldmarrow: digging stopped: out of memory for the dug chunks' display lists "
                                  r"\(about \d+ MiB needed, \d+ MiB available\)")


if __name__ == "__main__":
    unittest.main()
