#!/usr/bin/env python3
"""The real program under a virtual display with a fixed world seed:
key-to-first-play-frame, frame times while looking over the terrain, and the
process's peak resident memory.

Usage: play_bench.py [runs]   (VELDMARROW_BINARY and VELDMARROW_DATA as for the e2e tests)"""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import Program, VirtualDisplay, wait_for  # noqa: E402

SETTINGS = "screenWidth = 800 screenHeight = 600 fullscreen = false antialiasing = 0 vsync = false\n"
PREFIX = "timeGetTime delta: "


def first_frame_latency(display):
    program = Program(display, settings=SETTINGS, env={"VELDMARROW_SEED": "20261207"})
    try:
        program.wait_window()
        program.wait_log("IntroState Init")
        time.sleep(0.5)
        program.focus_pointer()
        sent = time.monotonic()
        display.run("xdotool", "key", "space")
        wait_for(lambda: any(l.startswith(PREFIX) for l in program.log()), interval=0.002,
                 what="the first play frame")
        return time.monotonic() - sent
    finally:
        program.close()


def frame_times(display, passes):
    program = Program(display, settings=SETTINGS, env={"VELDMARROW_SEED": "20261207"})
    try:
        program.wait_window()
        program.wait_log("IntroState Init")
        program.key("space")
        program.wait_log("PlayState Init")
        program.hold("space", 300)  # rise above the terrain
        program.look(0, 268)  # about 20 degrees down
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
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    display = VirtualDisplay(800, 600)
    try:
        latencies = [first_frame_latency(display) for _ in range(runs)]
        print("key to first play frame: median %.3f s over %d runs (min %.3f, max %.3f)" %
              (statistics.median(latencies), runs, min(latencies), max(latencies)))
        times, peak = frame_times(display, 250)
        times.sort()
        print("frame time looking over the terrain: median %.0f ms, p90 %.0f ms over %d passes" %
              (statistics.median(times), times[int(len(times) * 0.9)], len(times)))
        print("peak resident memory: %.0f MiB" % (peak / 1024))
    finally:
        display.stop()


if __name__ == "__main__":
    main()
