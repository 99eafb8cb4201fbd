#!/usr/bin/env python3
"""A short scripted tour of the real program on a virtual display, for
machines without one: splash, a key, rise, look down over the terrain, dig,
build columns of six types, Escape. Saves a screenshot of each step and the run's log.txt.

Usage: tour.py OUTPUT_DIR"""
import os
import shutil
import sys
import time

from harness import Program, VirtualDisplay, settings_text


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "tour")
    os.makedirs(out, exist_ok=True)
    display = VirtualDisplay(800, 600)
    program = Program(display, settings=settings_text(800, 600),
                      env={"VELDMARROW_SEED": os.environ.get("VELDMARROW_SEED", "20261207")})
    saved = []

    def shot(name):
        path = os.path.join(out, name + ".png")
        program.window_image(path)
        saved.append(path)

    try:
        program.wait_splash()
        time.sleep(2)  # let the splash fade part of the way in
        shot("1-splash")
        program.enter_play()
        program.wait_frames(3)
        shot("2-play-start")
        program.hold("space", 300)
        program.look(0, 400)
        program.wait_frames(3)
        shot("3-over-the-terrain")
        program.dig(40)
        program.wait_frames(3)
        shot("4-after-digging")
        # Nearer, looking into the hole: columns of six types, one beside the other.
        program.hold("w", 150)
        program.look(-120, 250, max_step=50)
        for kind in "456789":
            program.key(kind)
            for _ in range(5):
                program.display.run("xdotool", "click", "3")
                program.wait_frames(3)
            program.look(45, 0)
        program.look(-140, -100, max_step=50)
        program.wait_frames(3)
        shot("5-after-building")
        program.key("Escape")
        status = program.wait_exit()
        shutil.copy(os.path.join(program.dir, "log.txt"), os.path.join(out, "log.txt"))
        saved.append(os.path.join(out, "log.txt"))
    finally:
        program.close()
        display.stop()
    for path in saved:
        print(path)
    print("exit status", status)
    return 0 if status == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
