"""Hostile files against the real program: every case ends in a normal run
or in the documented status with a reason in error.txt, never a signal, a
hang or a sanitizer report."""
import os
import struct
import subprocess
import tempfile
import unittest
import zlib

from harness import DATA, TIMEOUT, OneDisplayTest, Program

SIZE = "screenWidth = 320 screenHeight = 240 "


def image(*convert_args):
    """Bytes of an image made by ImageMagick from the splash picture. Its
    deadline follows the harness's, which a loaded stage raises: the largest
    picture takes ImageMagick minutes on a busy machine."""
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "out")
        subprocess.run(["convert", os.path.join(DATA, "splash.png")] + list(convert_args[:-1]) +
                       [convert_args[-1].replace("OUT", out)], check=True, timeout=max(120, 2 * TIMEOUT))
        with open(out, "rb") as f:
            return f.read()


def blank_png(width, height):
    """A transparent RGBA PNG of any size (ImageMagick's policy stops at 16K)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = zlib.compress(b"".join(b"\0" + bytes(width * 4) for _ in range(height)))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", rows) + chunk(b"IEND", b""))


class HostileFilesTest(OneDisplayTest):
    def run_case(self, files, expected_status, reason=None, settings=SIZE + "\n"):
        p = Program(self.display, settings=settings, files=files)
        try:
            if expected_status == 0:
                p.wait_window()
                status = p.press_until_exit("Escape")
            else:
                status = p.wait_exit()
            self.assertEqual(status, expected_status, (p.errors(), p.stderr()[-1500:]))
            errors = p.errors()
            self.assertEqual(errors[0], "Moxwell started...")
            if reason is None:
                self.assertEqual(len(errors), 1, errors)
            else:
                self.assertEqual(len(errors), 2, errors)
                self.assertIn(reason, errors[1])
            return p
        finally:
            p.close()

    def test_hostile_settings_scripts(self):
        precompiled = b"\x1bLua\x51\x00\x01\x04\x08\x04\x08\x00" + os.urandom(200)
        cases = {
            "empty": (b"", None),
            "binary garbage": (bytes(range(256)) * 8, "settings"),
            "precompiled chunk": (precompiled, "precompiled"),
            "10 MB of text": (SIZE.encode() + b"\n" + b"-- " + b"x" * 100 + b"\n" * 1 + (b"-- filler line\n" * 700000), None),
            "syntax error": (SIZE.encode() + b"\nscreenHeight = = 1\n", "settings.lua:2:"),
            "run-time error": (SIZE.encode() + b"\nerror('broken on purpose')\n", "broken on purpose"),
            "endless loop": (SIZE.encode() + b"\nwhile true do end\n", "instruction budget"),
            "endless recursion": (SIZE.encode() + b"\nlocal function f() return f() + 1 end f()\n", "stack overflow"),
            "huge string.rep": (SIZE.encode() + b"\nlocal s = string.rep(string.rep('x', 64), 2^27)\n", "memory"),
            "erroring tostring": (SIZE.encode() + b"\ntostring = function() error('no strings here') end print(1)\n",
                                  "no strings here"),
        }
        for name, (content, reason) in cases.items():
            with self.subTest(name):
                self.run_case({"settings.lua": content}, 0, reason, settings="")

    def test_hostile_splash_pictures(self):
        with open(os.path.join(DATA, "splash.png"), "rb") as f:
            good = f.read()
        cases = {
            "missing": (None, 1, "splash.png"),
            "empty": (b"", 1, "splash.png"),
            "truncated": (good[:len(good) // 2], 1, "splash.png"),
            "corrupt": (good[:64] + bytes(b ^ 0x5A for b in good[64:]), 1, "splash.png"),
            "8-bit": (image("-colors", "16", "PNG8:OUT"), 1, "8 bits"),
            "16-bit pixels": (image("-depth", "5", "-define", "bmp:subtype=RGB565", "BMP3:OUT"), 1, "16 bits"),
            "16-bit channels": (image("-depth", "16", "PNG48:OUT"), 0, None),
            "1 x 1": (image("-resize", "1x1!", "PNG24:OUT"), 0, None),
            "8000 x 8000": (image("-resize", "8000x8000!", "PNG24:OUT"), 0, None),
            "20000 x 300": (blank_png(20000, 300), 1, "too large: 20000 x 300 pixels"),
        }
        for name, (content, status, reason) in cases.items():
            with self.subTest(name):
                self.run_case({"splash.png": content}, status, reason)


if __name__ == "__main__":
    unittest.main()
