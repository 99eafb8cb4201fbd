"""What keeping a world costs in the real program, under a virtual display:
key to the first frame of play in a world with many changed chunks against
a fresh start, and frame times while digging with and without a world, the
two kinds of run taking turns so that they share the machine's ups and downs,
and the same untouched world resumed at a stored pose elsewhere against at
the usual start.
To tell the file's own cost from the cost of drawing a dug terrain, it also
resumes a world of the same seed in which nothing was dug, and has
veldmarrow-gl-bench (beside SAVE_BENCH) build the renderer on the generated
and on the dug terrain.

Usage, from the checkout's root:
  python3 -m bench.world_bench SAVE_BENCH DEMO [--runs N] [--passes N]
(VELDMARROW_BINARY and VELDMARROW_DATA as for the e2e tests). SAVE_BENCH is
veldmarrow-save-bench: its figures are printed first, and the world it
leaves is the one resumed here."""
import argparse
import os
import re
import shutil
import sqlite3
import statistics
import subprocess
import tempfile

from bench.play_bench import PREFIX, SETTINGS, key_to_first_frame
from tests.e2e.harness import Program, VirtualDisplay


def first_frame(display, seed, args):
    return key_to_first_frame(display, Program(display, settings=SETTINGS, env={"VELDMARROW_SEED": seed}, args=args))


def untouched_world(display, seed, path):
    """Makes `path` a world of `seed` in which nothing was dug, saved as an
    Escape saves it."""
    program = Program(display, settings=SETTINGS, env={"VELDMARROW_SEED": seed}, args=["--world", path])
    try:
        program.wait_splash()
        program.enter_play()
        program.key("Escape")
        program.wait_exit()
    finally:
        program.close()


def posed_copy(source, path):
    """A copy of the world at source whose player stands elsewhere: flying over
    another part of the map, turned and looking down, slot 6, the overlay shown."""
    shutil.copy(source, path)
    db = sqlite3.connect(path)
    db.execute("UPDATE player SET x = 150.5, y = 380.5, z = 140, yaw = 135, pitch = -30, walking = 0, selected = 6,"
               " hud = 1")
    db.commit()
    db.close()


def digging_frames(display, seed, args, passes):
    program = Program(display, settings=SETTINGS, env={"VELDMARROW_SEED": seed}, args=args)
    try:
        program.wait_splash()
        program.enter_play()
        program.hold("space", 100)
        program.look(0, 400, max_step=80)
        program.wait_frames(5)
        start = len(program.frame_lines())
        display.run("xdotool", "mousedown", "1")
        for _ in range(passes // 50):
            program.look(25, 0, max_step=25)  # keep finding terrain to dig
            program.wait_frames(48)
        display.run("xdotool", "mouseup", "1")
        lines = program.frame_lines()[start:start + passes]
        saves = len([l for l in program.log() if l.startswith("World saved: ")])
        program.key("Escape")
        program.wait_exit()
        return [float(l[len(PREFIX):]) * 1000 for l in lines], saves
    finally:
        program.close()


def p99(values):
    return sorted(values)[min(len(values) - 1, int(len(values) * 0.99))]


def main():
    parser = argparse.ArgumentParser(prog="python3 -m " + __spec__.name, description=__doc__.split("\n\n")[0])
    parser.add_argument("save_bench")
    parser.add_argument("demo")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--passes", type=int, default=400)
    args = parser.parse_args()
    scratch = tempfile.mkdtemp(prefix="veldmarrow-world-bench-")
    try:
        world = os.path.join(scratch, "dug.world")
        out = subprocess.run([args.save_bench, args.demo, world], capture_output=True, text=True, check=True,
                             timeout=1800, cwd=scratch).stdout
        print("\n".join(l for l in out.splitlines() if not l.startswith("World")))
        seed = re.search(r"seed (\d+)", out).group(1)
        chunks = re.search(r"closed: (\d+) changed chunks", out).group(1)

        display = VirtualDisplay(800, 600)
        try:
            gl_bench = os.path.join(os.path.dirname(os.path.abspath(args.save_bench)), "veldmarrow-gl-bench")
            out = subprocess.run([gl_bench, "--world", world], capture_output=True, text=True, check=True,
                                 timeout=1800, cwd=scratch, env=display.env()).stdout
            print("\n".join(l for l in out.splitlines() if l.startswith(("renderer on", "the world's"))))
            untouched = os.path.join(scratch, "untouched.world")
            untouched_world(display, seed, untouched)
            posed = os.path.join(scratch, "posed.world")
            posed_copy(untouched, posed)
            fresh, resumed, unchanged, at_pose = [], [], [], []
            for run in range(args.runs):
                fresh.append(first_frame(display, seed, []))
                # A new name each time: the program is killed after its first
                # frame, and the log it leaves belongs to that copy alone.
                for kind, (source, times) in enumerate(((world, resumed), (untouched, unchanged), (posed, at_pose))):
                    copy = os.path.join(scratch, "resume-%d-%d.world" % (run, kind))
                    shutil.copy(source, copy)
                    times.append(first_frame(display, seed, ["--world", copy]))
            without, kept = [], []
            for run in range(2):
                without += digging_frames(display, seed, [], args.passes)[0]
                times, saves = digging_frames(display, seed, ["--world", os.path.join(scratch, "d%d.world" % run)],
                                              args.passes)
                kept += times
        finally:
            display.stop()
        f, r, u = statistics.median(fresh), statistics.median(resumed), statistics.median(unchanged)
        a = statistics.median(at_pose)
        print("key to first play frame, median of %d: fresh %.3f s, resumed (%s changed chunks) %.3f s: %.2fx; "
              "resumed with nothing dug %.3f s: %.2fx" % (args.runs, f, chunks, r, r / f, u, u / f))
        print("key to first play frame, median of %d: resumed at the usual start %.3f s, at a stored pose elsewhere "
              "(slot row shown) %.3f s: %.3fx" % (args.runs, u, a, a / u))
        print("frame time while digging, 2 x %d passes: without a world median %.1f ms, p99 %.1f ms; "
              "with a world median %.1f ms, p99 %.1f ms (%d commits in the last run)"
              % (args.passes, statistics.median(without), p99(without), statistics.median(kept), p99(kept), saves))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
