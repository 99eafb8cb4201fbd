"""The scripts' command lines: each answers --help and refuses what it does not know."""
import os
import shutil
import subprocess
import tempfile
import unittest

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")
NAMES = ["run", "test", "bench", "build", "build-arm64", "build-windows", "build-deb", "release", "install-deps",
         "test-sanitized", "test-debian", "test-packages",
         "fuzz", "soak", "make-images.py", "check-includes"]


class ScriptsTest(unittest.TestCase):
    def test_every_script_answers_help_and_refuses_unknown_arguments(self):
        for name in NAMES:
            with self.subTest(name):
                path = os.path.join(SCRIPTS, name)
                shown = subprocess.run([path, "--help"], capture_output=True, text=True, timeout=60)
                self.assertEqual(shown.returncode, 0, shown.stderr)
                self.assertTrue(shown.stdout.lower().startswith("usage: "), shown.stdout)
                refused = subprocess.run([path, "--no-such-option"], capture_output=True, text=True, timeout=60)
                self.assertEqual(refused.returncode, 2, refused.stdout)
                self.assertIn("--no-such-option", refused.stderr)

    def test_the_layer_check_catches_a_header_from_a_layer_above(self):
        tree = tempfile.mkdtemp(prefix="veldmarrow-layers-")
        self.addCleanup(shutil.rmtree, tree)
        files = {"world/Map.h": '#include "core/Fatal.h"\n', "render/Mesh.cpp": '#include "world/Map.h"\n',
                 "world/Planted.cpp": '#include <vector>\n#include "world/Map.h"\n#include "render/Mesh.h"\n'}
        for name, text in files.items():
            os.makedirs(os.path.join(tree, os.path.dirname(name)), exist_ok=True)
            with open(os.path.join(tree, name), "w") as f:
                f.write(text)
        check = lambda: subprocess.run([os.path.join(SCRIPTS, "check-includes"), tree], capture_output=True,
                                       text=True, timeout=60)
        caught = check()
        self.assertEqual(caught.returncode, 1, caught.stdout)
        self.assertEqual(caught.stdout.splitlines(),
                         ['world/Planted.cpp:3: world/ may not include "render/Mesh.h" (it may use: core, platform)'])
        os.remove(os.path.join(tree, "world", "Planted.cpp"))
        self.assertEqual(check().returncode, 0)


if __name__ == "__main__":
    unittest.main()
