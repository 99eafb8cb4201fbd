"""The real program under a virtual display with a fixed world seed:
key-to-first-play-frame, frame times while looking over the terrain, and the
process's peak resident memory. Given several builds, runs them in turn, run
by run, so that they share the machine's ups and downs, and prints them side
by side.

Usage, from the checkout's root:
  python3 -m bench.play_bench [--runs N] [--first-frame-only] [LABEL=BINARY ...]
(default: one build, VELDMARROW_BINARY; VELDMARROW_DATA as for the e2e tests).
BINARY may be a command line that runs the program, e.g.
arm64="qemu-aarch64-static build-arm64/veldmarrow" for an emulated build."""
import argparse
import os
import shlex
import statistics
import time

from tests.e2e.harness import BINARY, Program, VirtualDisplay, settings_text, wait_for

SETTINGS = settings_text(800, 600)
SEED = {"VELDMARROW_SEED": "20261207"}
PREFIX = "timeGetTime delta: "


def key_to_first_frame(display, program):
    """Seconds from a key on the splash to the program's first play frame;
    closes the program."""
    try:
        program.wait_splash()
        time.sleep(0.5)
        program.focus_pointer()
        sent = time.monotonic()
        display.run("xdotool", "key", "space")
        wait_for(lambda: any(l.startswith(PREFIX) for l in program.log()), interval=0.002,
                 what="the first play frame")
        return time.monotonic() - sent
    finally:
        program.close()


def first_frame_latency(display, command):
    return key_to_first_frame(
        display, Program(display, settings=SETTINGS, env=SEED, binary=command[-1], runner=command[:-1]))


def frame_times(display, command, passes):
    program = Program(display, settings=SETTINGS, env=SEED, binary=command[-1], runner=command[:-1])
    try:
        program.wait_splash()
        program.enter_play()
        program.hold("space", 300)  # rise above the terrain
        program.look(0, 268, max_step=80)  # about 20 degrees down
        program.wait_frames(5)
        start = len(program.frame_lines())
        program.wait_frames(passes, timeout=600)
        lines = program.frame_lines()[start:start + passes]
        with open("/proc/%d/status" % program.process.pid) as f:
            peak = next(int(l.split()[1]) for l in f if l.startswith("VmHWM:"))
        program.key("Escape")
        program.wait_exit()
        return [float(l[len(PREFIX):]) * 1000 for l in lines], peak
    finally:
        program.close()


def main():
    parser = argparse.ArgumentParser(prog="python3 -m " + __spec__.name, description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--first-frame-only", action="store_true",
                        help="only the key-to-first-frame times (emulated builds take a second a frame)")
    parser.add_argument("builds", nargs="*", metavar="LABEL=BINARY")
    args = parser.parse_args()
    # The program runs in a folder of its own: its path must not be relative.
    builds = [(label, shlex.split(command)[:-1] + [os.path.abspath(shlex.split(command)[-1])])
              for label, command in (b.split("=", 1) for b in args.builds)]
    builds = builds or [("program", [BINARY])]
    display = VirtualDisplay(800, 600)
    try:
        latencies = {label: [] for label, _ in builds}
        for _ in range(args.runs):
            for label, command in builds:
                latencies[label].append(first_frame_latency(display, command))
        frames = {} if args.first_frame_only else {label: frame_times(display, command, 250)
                                                   for label, command in builds}
    finally:
        display.stop()
    print("%-46s" % "" + "".join("%22s" % label for label, _ in builds))
    print("%-46s" % ("key to first play frame, median of %d" % args.runs) +
          "".join("%20.3f s" % statistics.median(latencies[label]) for label, _ in builds))
    print("%-46s" % "  (min to max)" +
          "".join("%22s" % ("%.3f to %.3f" % (min(latencies[l]), max(latencies[l]))) for l, _ in builds))
    if not frames:
        return
    for name, pick in (("frame time over the terrain, median", lambda t: statistics.median(t)),
                       ("frame time over the terrain, p90", lambda t: sorted(t)[int(len(t) * 0.9)])):
        print("%-46s" % ("%s (250)" % name) + "".join("%19.0f ms" % pick(frames[l][0]) for l, _ in builds))
    print("%-46s" % "peak resident memory" + "".join("%18.0f MiB" % (frames[l][1] / 1024) for l, _ in builds))


if __name__ == "__main__":
    main()
