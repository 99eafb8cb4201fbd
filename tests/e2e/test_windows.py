"""What a Windows user meets and Linux has not: Alt+F4, the message box of a
failed start or a failed final save, the console a windowed program was
started from, file names outside the ANSI code page, a window larger than
the screen, and the program's icon, version information and manifest."""
import os
import re
import shutil
import subprocess
import unittest

from harness import (BINARY, RUNNER, TIMEOUT, WINDOWS, DisplayPerTest, fill_disk, make_workdir, settings_text,
                     small_tmpfs, wait_for)

SETTINGS = settings_text(320, 240)
SEED = {"VELDMARROW_SEED": "20261207"}
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
CONSOLE_PARENT = os.environ.get("VELDMARROW_CONSOLE_PARENT")


def program_version():
    with open(os.path.join(ROOT, "core", "Version.h")) as f:
        return re.search(r'ProgramVersion = "([0-9.]+)"', f.read()).group(1)


@unittest.skipUnless(WINDOWS, "the Windows build's own behaviour (Windows stage)")
class WindowsTest(DisplayPerTest):
    def play(self, **kwargs):
        p = self.launch(settings=kwargs.pop("settings", SETTINGS), env=dict(SEED, **kwargs.pop("env", {})), **kwargs)
        p.wait_splash()
        p.enter_play()
        p.wait_frames(3)
        return p

    def test_alt_f4_in_play_ends_like_the_close_button(self):
        p = self.play()
        p.key("alt+F4")
        self.assertEqual(p.wait_exit(), 0, p.errors())
        self.assertEqual(p.log()[-2:], ["PlayState Cleanup", "GameEngine Cleanup"])
        self.assertEqual(p.errors(), ["Moxwell started..."])

    def test_file_names_outside_the_ansi_code_page_record_play_and_are_named_in_utf8(self):
        name = "демо 演示.demo"
        # Wine turns the Linux side's arguments and file names into UTF-16 by
        # the locale's character set.
        utf8 = {"LC_ALL": "C.UTF-8"}
        rec = self.play(args=["--record", name], env=utf8)
        rec.hold("space", 10)
        rec.key("Escape")
        self.assertEqual(rec.wait_exit(), 0, rec.errors())
        self.assertTrue(os.path.isfile(os.path.join(rec.dir, name)), os.listdir(rec.dir))
        written = next(l for l in rec.log() if l.startswith("Demo written: "))
        self.assertTrue(written.startswith('Demo written: "%s", ' % name), written)

        play = self.launch(settings=SETTINGS, workdir=rec.dir, args=["--play", name], env=utf8)
        play.wait_window()
        play.wait_log("Demo ended after " + written.split(", ")[1])
        play.key("Escape")
        self.assertEqual(play.wait_exit(), 0, play.errors())
        self.assertIn("Terrain checksum matches the recording", play.log())

        # A refusal names the file as given, in UTF-8.
        missing = self.launch(settings=SETTINGS, workdir=rec.dir, args=["--play", "нет 无.demo"], env=utf8)
        self.assertEqual(missing.wait_exit(), 5)
        self.assertEqual(missing.errors()[1:], ['Veldmarrow: demo "нет 无.demo" cannot be read: '
                                                'No such file or directory'])

        # A world by such a name, begun from an empty file and played in, is
        # kept and found again.
        world = "мир 世界.db"
        open(os.path.join(rec.dir, world), "wb").close()
        for opened in ("New world", "World"):
            p = self.launch(settings=SETTINGS, workdir=rec.dir, args=["--world", world], env=dict(SEED, **utf8))
            p.wait_splash()
            p.enter_play("x")
            p.key("Escape")
            self.assertEqual(p.wait_exit(), 0, p.errors())
            self.assertTrue([l for l in p.log() if l.startswith('%s "%s": seed 20261207' % (opened, world))], p.log())

    def message_box(self, p):
        """The message box's window, once it shows while the program waits."""
        def box():
            if p.process.poll() is not None:
                raise AssertionError("ended with %s without a message box" % p.process.returncode)
            found = self.display.run("xdotool", "search", "--onlyvisible", "--name", "^Veldmarrow$", check=False)
            return [w for w in found.stdout.split() if w != p.window][:1]
        return wait_for(box, what="the message box")[0]

    def dismiss(self, p, window):
        def dismissed():
            if p.process.poll() is not None:
                return True
            self.display.run("xdotool", "windowfocus", window, check=False)
            self.display.run("xdotool", "key", "Return", check=False)
            return False
        wait_for(dismissed, interval=0.5, what="the program to end once the box is dismissed")

    def test_a_failed_start_waits_on_a_message_box_unless_unattended(self):
        unattended = self.launch(args=["--bogus"], env={"VELDMARROW_UNATTENDED": "1"})
        self.assertEqual(unattended.wait_exit(), 4)
        self.assertIn("unknown argument '--bogus'", unattended.stderr())

        attended = self.launch(args=["--bogus"], env={"VELDMARROW_UNATTENDED": "0"})
        window = self.message_box(attended)
        # The reason is written before the box waits for the user.
        self.assertIn("unknown argument '--bogus'", attended.stderr())
        self.dismiss(attended, window)
        self.assertEqual(attended.wait_exit(), 4)

    @unittest.skipUnless(hasattr(os, "geteuid") and os.geteuid() == 0, "mounting a small tmpfs needs root")
    def test_a_final_save_that_fails_shows_its_reason_in_a_message_box(self):
        wd = make_workdir(SETTINGS)
        self.addCleanup(shutil.rmtree, wd, ignore_errors=True)
        disk = small_tmpfs(self, os.path.join(wd, "disk"), "256k")
        p = self.play(workdir=wd, args=["--world", "disk/w.db"], env={"VELDMARROW_UNATTENDED": "0"})
        # The disk fills up: digging can no longer be saved.
        fill_disk(os.path.join(disk, "filler"))
        p.look(0, 60)
        p.dig(3)
        p.key("Escape")
        window = self.message_box(p)
        self.assertRegex(p.errors()[-1], r'world "disk/w.db": \d+ changed chunks were not saved')
        self.dismiss(p, window)
        self.assertEqual(p.wait_exit(), 11)

    @unittest.skipUnless(CONSOLE_PARENT, "no console_parent helper (VELDMARROW_CONSOLE_PARENT)")
    def test_started_from_a_console_it_answers_there(self):
        # As from cmd: no console of its own and no standard handles; what it
        # says must reach the console it was started from.
        wd = make_workdir(SETTINGS)
        self.addCleanup(shutil.rmtree, wd, ignore_errors=True)
        env = dict(self.display.env(), LC_ALL="C.UTF-8")
        for args, status, shown in ((["--version"], 0, "Veldmarrow " + program_version()),
                                    (["--help"], 0, "  --world FILE     play in the world kept in FILE"),
                                    (["--мир"], 4, "veldmarrow: unknown argument '--мир'")):
            with self.subTest(args=args):
                run = subprocess.run(RUNNER + [CONSOLE_PARENT, BINARY] + args, cwd=wd, env=env, capture_output=True,
                                     timeout=TIMEOUT)
                console = run.stdout.decode("utf-8", errors="replace")
                self.assertEqual(run.returncode, status, console + run.stderr.decode(errors="replace"))
                self.assertIn(shown, console)

    def test_window_larger_than_the_screen_keeps_its_title_bar_and_its_size(self):
        # The default 1024 x 768 on a 1024 x 768 screen: with its frame it
        # does not fit, so the frame's top-left goes to the screen's.
        p = self.launch(settings="screenWidth = 1024 screenHeight = 768 fullscreen = false\n")
        p.wait_splash()
        line = next(l for l in p.log() if l.startswith("The window is larger than the screen's work area"))
        x, y = (int(v) for v in re.search(r"goes at (-?\d+),(-?\d+)", line).groups())
        self.assertEqual(p.geometry(), (x, y, 1024, 768))
        self.assertGreater(y, 0, "no room for the title bar")
        p.key("Escape")
        self.assertEqual(p.wait_exit(), 0)

    def test_program_carries_its_icon_version_and_manifest(self):
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", BINARY], capture_output=True, text=True,
                              check=True, timeout=TIMEOUT).stdout
        # The resource directory: types, then the names or numbers under each.
        kinds = {0x3: "icon", 0xE: "icon group", 0x10: "version information", 0x18: "manifest"}
        resources, kind = {}, None
        for line in dump[dump.index("The .rsrc Resource Directory section"):].splitlines():
            entry = re.match(r"[0-9a-f]+( +)Entry: (?:ID: 0x([0-9a-f]+)|name: .*: ([^,]+),)", line)
            if entry and len(entry.group(1)) == 3:
                kind = kinds.get(int(entry.group(2), 16), entry.group(2))
                resources[kind] = []
            elif entry and len(entry.group(1)) == 5:
                resources[kind].append(entry.group(3) or int(entry.group(2), 16))
        print("resources of %s: %s" % (os.path.basename(BINARY), resources))
        self.assertEqual(set(resources), set(kinds.values()))
        self.assertEqual(resources["icon group"], ["SDL_APP"])  # SDL's window takes it too
        self.assertEqual(len(resources["icon"]), 7)  # 16 to 256 pixels
        with open(BINARY, "rb") as f:
            exe = f.read()
        version = program_version()
        for key in ("FileVersion", "ProductVersion"):
            # The key, its terminator, padding to four bytes, the value.
            found = re.search(re.escape((key + "\0").encode("utf-16-le")) + b"(?:\0\0)?" +
                              re.escape(version.encode("utf-16-le")), exe)
            self.assertTrue(found, "%s %s not in the version information" % (key, version))
        manifest = exe[exe.index(b"<assembly"):exe.index(b"</assembly>")].decode()
        self.assertIn('version="%s.0"' % version, manifest)
        self.assertRegex(manifest, r"<dpiAware [^>]*>true</dpiAware>")
        self.assertIn("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", manifest)  # Windows 10 and 11


if __name__ == "__main__":
    unittest.main()
