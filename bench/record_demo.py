"""Records a demo with real input: the real program under a virtual display,
run with --record and driven by xdotool (keys held for a number of passes,
mouse moved, left button held to dig).

  minute  a typical minute of play at 800 x 600: rise above the terrain,
          look around, fly, dig several holes (bench/demos/typical-minute.demo)
  short   a few seconds at 320 x 240: look down, dig, move, dig again (the
          end-to-end tests' demo, tests/e2e/demos/short.demo)

Usage, from the checkout's root: python3 -m bench.record_demo {minute,short} OUTPUT
(VELDMARROW_BINARY and VELDMARROW_DATA as for the end-to-end tests; the
world seed is VELDMARROW_SEED, 20261207 by default)"""
import argparse
import os
import shutil
import sys

from tests.e2e.harness import Program, VirtualDisplay, settings_text

SIZES = {"minute": (800, 600), "short": (320, 240)}


def minute(p):
    p.hold("space", 330)             # rise above the highest terrain
    p.look(0, 400, max_step=40)      # about 30 degrees down
    p.look(-600, 0, max_step=40)     # look around: left, right, back
    p.look(1200, 0, max_step=40)
    p.look(-600, 0, max_step=40)
    p.hold("w", 200)                 # fly forward and dig
    p.dig(15)
    p.hold("d", 100)                 # to the side, dig again
    p.dig(10)
    p.look(-800, 100, max_step=40)   # turn, fly on, a longer dig
    p.hold("w", 150)
    p.dig(20)
    p.hold(["w", "d"], 100)          # diagonally
    p.dig(10)
    p.look(0, -300, max_step=40)     # look up, rise, look down again
    p.hold("space", 60)
    p.look(0, 300, max_step=40)
    p.hold("s", 100)                 # back off and dig once more
    p.dig(15)
    p.look(900, -150, max_step=40)   # turn right round, fly on, two more holes
    p.hold("w", 150)
    p.dig(15)
    p.hold("a", 80)
    p.dig(10)
    p.wait_frames(20)


def short(p):
    p.look(0, 300, max_step=40)
    p.dig(10)
    p.hold("w", 40)
    p.dig(10)
    p.look(-100, 0, max_step=40)
    p.dig(10)
    p.wait_frames(10)


def main():
    parser = argparse.ArgumentParser(prog="python3 -m " + __spec__.name, description=__doc__.split("\n\n")[0])
    parser.add_argument("session", choices=sorted(SIZES))
    parser.add_argument("output")
    args = parser.parse_args()
    w, h = SIZES[args.session]
    display = VirtualDisplay(max(1024, w + 64), max(768, h + 64))
    program = Program(display, settings=settings_text(w, h),
                      env={"VELDMARROW_SEED": os.environ.get("VELDMARROW_SEED", "20261207")},
                      args=["--record", "session.demo"])
    try:
        program.wait_splash()
        program.enter_play()
        program.wait_frames(3)
        {"minute": minute, "short": short}[args.session](program)
        # Escape without moving the pointer, so the last passes stay still.
        display.run("xdotool", "key", "Escape")
        status = program.wait_exit()
        if status != 0:
            print("the program ended with status %d" % status, file=sys.stderr)
            return 1
        shutil.copy(os.path.join(program.dir, "session.demo"), args.output)
        print(next(line for line in program.log() if line.startswith("Demo written")))
    finally:
        program.close()
        display.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
