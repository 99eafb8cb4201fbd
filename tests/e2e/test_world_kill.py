"""Kept worlds survive being killed: a child digs and commits while SIGKILL
arrives at random moments; every restart must open the world, pass its
integrity check, and hold a state no older than the last commit the child
reported before it died. VELDMARROW_KILLS sets the count (scripts/soak runs
200)."""
import os
import random
import re
import shutil
import signal
import subprocess
import tempfile
import unittest

from harness import TIMEOUT, wait_for

CHILD = os.environ.get("VELDMARROW_WORLD_CHILD",
                       os.path.join(os.path.dirname(__file__), "../../build/tests/veldmarrow-world-child"))
KILLS = int(os.environ.get("VELDMARROW_KILLS", "20"))
LINE = re.compile(r"^(loaded|saved) save (\d+) checksum ([0-9A-F]{16})$")


def states(text):
    """(save number, checksum) of every complete line the child printed."""
    found = []
    for line in text.split("\n")[:-1]:  # the last piece may be cut by the kill
        m = LINE.match(line)
        if m:
            found.append((int(m.group(2)), m.group(3)))
    return found


class WorldKillTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="veldmarrow-kill-")
        self.world = os.path.join(self.dir, "w.db")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def check(self):
        done = subprocess.run([CHILD, "check", self.world], capture_output=True, text=True, timeout=TIMEOUT)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return states(done.stdout)[0]

    def test_killed_while_committing_the_world_keeps_its_last_commit(self):
        rng = random.Random(os.environ.get("VELDMARROW_KILL_SEED"))
        outcomes = {"as logged": 0, "newer": 0}
        for kill in range(KILLS):
            out_path = os.path.join(self.dir, "out.txt")
            with open(out_path, "w") as out:
                child = subprocess.Popen([CHILD, "dig", self.world], stdout=out, stderr=subprocess.STDOUT)
            try:
                def read():
                    with open(out_path) as f:
                        return f.read()
                # Kill after a random number of commits: mid-commit, between
                # commits, or while preparing one.
                wanted = rng.randint(1, 6)

                def committed():
                    if child.poll() is not None:
                        raise AssertionError("child ended: " + read())
                    return len([s for s in states(read())]) > wanted
                wait_for(committed, what="%d commits" % wanted, interval=rng.choice([0.001, 0.003, 0.01]))
                child.send_signal(signal.SIGKILL)
                child.wait(TIMEOUT)
            finally:
                if child.poll() is None:
                    child.kill()
                    child.wait()
            self.assertEqual(child.returncode, -signal.SIGKILL)
            logged = states(read())[-1]
            saves, checksum = self.check()
            self.assertGreaterEqual(saves, logged[0], "kill %d lost a logged commit" % kill)
            if saves == logged[0]:
                self.assertEqual(checksum, logged[1], "kill %d: same commit, other contents" % kill)
                outcomes["as logged"] += 1
            else:
                # Killed after a commit and before its line: one commit newer.
                self.assertEqual(saves, logged[0] + 1, "kill %d" % kill)
                outcomes["newer"] += 1
        print("%d kills: %s" % (KILLS, outcomes))
        self.assertEqual(sum(outcomes.values()), KILLS)


if __name__ == "__main__":
    unittest.main()
