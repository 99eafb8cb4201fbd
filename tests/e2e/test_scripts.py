"""The scripts' command lines: each answers --help and refuses what it does not know."""
import os
import subprocess
import unittest

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")
NAMES = ["run", "test", "bench", "build", "build-arm64", "build-windows", "build-deb", "release", "install-deps",
         "test-sanitized", "test-debian", "test-packages",
         "fuzz", "soak", "make-images.py"]


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


if __name__ == "__main__":
    unittest.main()
