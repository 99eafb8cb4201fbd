#!/usr/bin/env python3
"""Soak run: the real program for many passes of play with random mouse
motion, keys and digging, drilling to the bottom of the world, rising far
above it and flying out past its edge. Checks that it answers Escape with
status 0, that every frame line parses, and that resident memory grows by
less than 5% after warm-up (the first two fifths of the passes).

Usage: soak.py [--passes N] [--seed S]"""
import argparse
import os
import random
import sys

from harness import Program, VirtualDisplay, settings_text

SETTINGS = settings_text(320, 240)
PREFIX = "timeGetTime delta: "


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--passes", type=int, default=5000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    display = VirtualDisplay(640, 480)
    program = Program(display, settings=SETTINGS, env={"VELDMARROW_SEED": str(args.seed)})
    samples = []
    held_button_passes = 0
    try:
        program.wait_splash()
        program.enter_play()
        pid = program.process.pid

        def passes():
            return len(program.frame_lines())

        def hold(keys, frames):
            program.hold(keys, frames, timeout=3600)

        def look(dx, dy):
            program.look(dx, dy, frames_per_step=1, timeout=3600, max_step=80)

        def dig(frames):
            nonlocal held_button_passes
            program.dig(frames, timeout=3600)
            held_button_passes += frames

        def sample():
            samples.append((passes(), resident_kib(pid)))

        budget = args.passes
        # Phase 1 (a fifth): drill straight down to the bottom, then wander and dig.
        look(0, 1300)  # straight down (pitch clamps at -90)
        dig(max(budget // 20, 20))
        look(0, -1200)
        sample()
        while passes() < budget // 5:
            action = rng.random()
            if action < 0.35:
                hold(rng.sample(["w", "a", "s", "d", "space"], rng.randint(1, 2)), rng.randint(5, 40))
            elif action < 0.65:
                look(rng.randint(-300, 300), rng.randint(-200, 200))
            else:
                dig(rng.randint(5, 30))
            sample()
        # Phase 2 (two fifths): rise far above the world while moving and digging the edges of what is in view.
        look(0, -400)
        while passes() < 3 * budget // 5:
            hold(["space", "w"], 100)
            if rng.random() < 0.3:
                look(rng.randint(-150, 150), rng.randint(-50, 50))
            dig(5)
            sample()
        # Phase 3: straight on, out past the map's edge, turning now and then.
        while passes() < budget:
            hold(["w"], 100)
            if rng.random() < 0.2:
                look(rng.randint(-60, 60), rng.randint(-100, 100))
            if rng.random() < 0.2:
                dig(10)
            sample()
        sample()
        final_rss = resident_kib(pid)
        with open("/proc/%d/status" % pid) as f:
            peak_rss = next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))
        program.key("Escape")
        status = program.wait_exit(timeout=600)
        log = program.log()
        frames = [l for l in log if l.startswith(PREFIX)]
        bad = [l for l in frames if not _parses(l[len(PREFIX):])]
        # Warm-up: drilling, wandering and the climb, by when the renderer's
        # per-frame buffers have met views of the whole map.
        warm = next((kib for n, kib in samples if n >= 2 * budget // 5), samples[0][1])
        growth = (final_rss - warm) / warm
        print("passes %d, passes with the left button held %d" % (len(frames), held_button_passes))
        print("resident memory: after warm-up %.0f MiB, final %.0f MiB (growth %.1f%%), peak %.0f MiB" %
              (warm / 1024, final_rss / 1024, growth * 100, peak_rss / 1024))
        print("exit status %d, log ends %s" % (status, log[-2:]))
        failures = []
        if status != 0:
            failures.append("exit status %d" % status)
        if log[-2:] != ["PlayState Cleanup", "GameEngine Cleanup"]:
            failures.append("log tail %r" % log[-2:])
        if bad or len(frames) < args.passes:
            failures.append("%d unparsable frame lines, %d frames" % (len(bad), len(frames)))
        if growth >= 0.05:
            failures.append("memory grew by %.1f%%" % (growth * 100))
        if failures:
            print("SOAK FAILED: " + "; ".join(failures))
            return 1
        print("soak passed")
        return 0
    finally:
        program.close()
        display.stop()


def _parses(text):
    try:
        float(text)
        return True
    except ValueError:
        return False


if __name__ == "__main__":
    sys.exit(main())
