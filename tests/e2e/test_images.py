"""The Windows build decodes images without SDL_image: the same files must
give the same surfaces, and the same refusals, as on Linux."""
import os
import re
import subprocess
import tempfile
import unittest

from harness import DATA, LINUX_BUILD, RUNNER, TIMEOUT

PROBE = os.environ.get("VELDMARROW_IMAGE_PROBE")

# ImageMagick's renderings of the splash picture: every PNG and BMP kind the
# splash rules accept or refuse.
IMAGES = {
    "rgb.png": ["PNG24:"],
    "rgba.png": ["-alpha", "set", "-channel", "A", "-evaluate", "set", "60%", "+channel", "PNG32:"],
    "rgb16.png": ["-depth", "16", "PNG48:"],
    "rgba16.png": ["-alpha", "set", "-depth", "16", "PNG64:"],
    "interlaced.png": ["-interlace", "PNG", "PNG24:"],
    "odd-size.png": ["-resize", "37x11!", "PNG24:"],
    "grey.png": ["-colorspace", "Gray", "-define", "png:color-type=0", "PNG:"],
    "grey-alpha.png": ["-colorspace", "Gray", "-alpha", "set", "-define", "png:color-type=4", "PNG:"],
    "palette.png": ["-colors", "16", "PNG8:"],
    "palette-key.png": ["-colors", "16", "-transparent", "black", "PNG8:"],
    "rgb-key.png": ["-define", "png:color-type=2", "-transparent", "black", "PNG:"],
    "rgb.bmp": ["BMP3:"],
    # A version 3 header leaves no room for the masks that RGB565 needs, and
    # the two SDL 1.2 libraries read that broken file differently.
    "rgb565.bmp": ["-depth", "5", "-define", "bmp:subtype=RGB565", "BMP:"],
    "palette.bmp": ["-colors", "16", "-type", "Palette", "BMP3:"],
}


@unittest.skipUnless(PROBE and LINUX_BUILD, "compares the Windows build with the Linux one (Windows stage)")
class SameImagesTest(unittest.TestCase):
    def probe(self, command, folder, names):
        result = subprocess.run(command + names, cwd=folder, capture_output=True,
                                timeout=TIMEOUT * 2)
        self.assertEqual(result.returncode, 0, result.stderr[-2000:])
        return result.stdout.decode().replace("\r\n", "\n").splitlines()

    def test_same_files_give_the_same_surfaces_and_refusals_on_linux_and_windows(self):
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(DATA, "splash.png")
            for name, args in IMAGES.items():
                subprocess.run(["convert", source] + args[:-1] + [args[-1] + os.path.join(folder, name)],
                               check=True, timeout=TIMEOUT)
            with open(source, "rb") as f:
                good = f.read()
            broken = {"empty.png": b"", "truncated.png": good[:len(good) // 2],
                      "corrupt.png": good[:64] + bytes(b ^ 0x5A for b in good[64:]), "text.png": b"not a picture\n"}
            for name, content in broken.items():
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(content)
            names = sorted(IMAGES) + sorted(broken) + ["missing.png"]
            linux = self.probe([os.path.join(LINUX_BUILD, "tests", "veldmarrow-image-probe")], folder, names)
            windows = self.probe(RUNNER + [PROBE], folder, names)
        self.assertEqual(len(linux), len(names), linux)
        for name, expected, seen in zip(names, linux, windows):
            if name == "palette.bmp":
                # SDL_image's own BMP reader gives every paletted picture 256
                # colours, SDL's the count the file names; both are refused.
                expected, seen = (re.sub(r"\d+ colours [0-9a-f]+", "", line) for line in (expected, seen))
            self.assertEqual(seen, expected)
        # The splash rules take 24 and 32 bits only: both kinds are among them.
        self.assertTrue(any(", 24 bits," in line for line in linux) and any(", 32 bits," in line for line in linux))


if __name__ == "__main__":
    unittest.main()
