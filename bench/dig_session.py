"""The real program dug with for a while, as a player would: under a virtual
display with a fixed world seed, it rises, looks down, then holds the left
button while turning and walking. Prints the resident memory every 10 s and
the growth per minute of digging (from the first sample after the dig began
to the last), with the frame times of the first and last minute.

With --record FILE the session is also recorded as a demo, which
`veldmarrow-dig-bench --demo FILE` replays against a fresh renderer on the
same dug terrain.

Usage, from the checkout's root:
  python3 -m bench.dig_session [--seconds N] [--record FILE] [BINARY]
(default: 150 s, VELDMARROW_BINARY; VELDMARROW_DATA as for the e2e tests)"""
import argparse
import os
import shutil
import statistics
import time

from tests.e2e.harness import BINARY, Program, VirtualDisplay, settings_text

SETTINGS = settings_text(800, 600)
SEED = {"VELDMARROW_SEED": "20261207"}
PREFIX = "timeGetTime delta: "


def rss_mib(pid, field="VmRSS"):
    with open("/proc/%d/status" % pid) as f:
        return next(int(l.split()[1]) for l in f if l.startswith(field + ":")) / 1024


def main():
    parser = argparse.ArgumentParser(prog="python3 -m " + __spec__.name, description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seconds", type=float, default=150)
    parser.add_argument("--record", metavar="FILE")
    parser.add_argument("binary", nargs="?", default=BINARY)
    args = parser.parse_args()
    display = VirtualDisplay()
    program = None
    try:
        program = Program(display, settings=SETTINGS, env=SEED, binary=os.path.abspath(args.binary),
                          args=["--record", "session.demo"] if args.record else [])
        program.wait_splash()
        program.enter_play()
        program.hold("space", 100)
        program.look(0, 400, max_step=80)  # well down at the terrain
        program.wait_frames(5)
        before = rss_mib(program.process.pid)
        frames_before = len(program.frame_lines())
        display.run("xdotool", "mousedown", "1")
        start = time.monotonic()
        samples = []
        step = 0
        while time.monotonic() - start < args.seconds:
            # Turn a little every step and walk now and then: a trench that
            # winds over the terrain and deepens where the view lingers.
            display.run("xdotool", "mousemove_relative", "--", "6", "0")
            if step % 40 < 10:
                display.run("xdotool", "keydown", "w")
            elif step % 40 == 10:
                display.run("xdotool", "keyup", "w")
            step += 1
            time.sleep(0.25)
            elapsed = time.monotonic() - start
            if not samples or elapsed - samples[-1][0] >= 10:
                samples.append((elapsed, rss_mib(program.process.pid)))
                print("%6.0f s  RSS %6.1f MiB" % samples[-1], flush=True)
        display.run("xdotool", "keyup", "w")
        display.run("xdotool", "mouseup", "1")
        lines = program.frame_lines()[frames_before:]
        times = [float(l[len(PREFIX):]) * 1000 for l in lines]
        first, last = samples[0], samples[-1]
        minutes = (last[0] - first[0]) / 60
        print("RSS before digging %.1f MiB, peak of samples %.1f MiB, end %.1f MiB, peak of the process %.1f MiB" %
              (before, max(s[1] for s in samples), last[1], rss_mib(program.process.pid, "VmHWM")))
        print("growth while digging: %.1f MiB over %.2f min = %.1f MiB/min (%d frames dug)" %
              (last[1] - first[1], minutes, (last[1] - first[1]) / minutes, len(times)))
        per_minute = max(1, int(len(times) * 60 / max(args.seconds, 1)))
        print("frame median: first minute %.1f ms, last minute %.1f ms" %
              (statistics.median(times[:per_minute]), statistics.median(times[-per_minute:])))
        program.key("Escape")
        print("exit status", program.wait_exit())
        if args.record:
            shutil.copy(os.path.join(program.dir, "session.demo"), args.record)
    finally:
        if program:
            program.close()
        display.stop()


if __name__ == "__main__":
    main()
