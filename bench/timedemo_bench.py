"""Times a demo with --timedemo on each of several builds under a virtual
display, the builds in turn run by run so that they share the machine's ups
and downs, and prints the figures of their JSON reports side by side
(medians over the runs).

Usage, from the checkout's root:
  python3 -m bench.timedemo_bench [--runs N] DEMO LABEL=BINARY [LABEL=BINARY ...]
(VELDMARROW_DATA as for the end-to-end tests)"""
import argparse
import json
import os
import statistics
import sys

from tests.e2e.harness import Program, VirtualDisplay

ROWS = [
    ("frames", lambda r: "%d" % r["frames"]),
    ("seconds", lambda r: "%.2f s" % r["seconds"]),
    ("frames per second", lambda r: "%.1f" % (r["frames"] / r["seconds"])),
    ("frame time, median", lambda r: "%.1f ms" % r["frame_ms"]["median"]),
    ("frame time, p90", lambda r: "%.1f ms" % r["frame_ms"]["p90"]),
    ("frame time, p99", lambda r: "%.1f ms" % r["frame_ms"]["p99"]),
    ("frame time, max", lambda r: "%.1f ms" % r["frame_ms"]["max"]),
    ("start to first frame of play", lambda r: "%.3f s" % r["start_to_first_frame_s"]),
    ("peak resident memory", lambda r: "%.0f MiB" % (r["peak_rss_bytes"] / 2**20)),
    ("terrain checksum", lambda r: r["terrain_checksum"] + ("" if r["matches_recording"] else " (DIFFERS)")),
]


def timedemo(display, binary, demo):
    program = Program(display, binary=binary, args=["--timedemo", demo])
    try:
        status = program.wait_exit(timeout=3600)
        if status != 0:
            raise RuntimeError("%s --timedemo ended with status %d" % (binary, status))
        return json.loads(program.stdout().splitlines()[-1])
    finally:
        program.close()


def median_report(reports):
    """Each number the median over the runs; the rest from the first run."""
    def merge(values):
        if isinstance(values[0], dict):
            return {k: merge([v[k] for v in values]) for k in values[0]}
        if isinstance(values[0], (int, float)) and not isinstance(values[0], bool):
            return statistics.median(values)
        return values[0]
    return merge(reports)


def main():
    parser = argparse.ArgumentParser(prog="python3 -m " + __spec__.name, description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("demo")
    parser.add_argument("builds", nargs="+", metavar="LABEL=BINARY")
    args = parser.parse_args()
    builds = [b.split("=", 1) for b in args.builds]
    demo = os.path.abspath(args.demo)
    display = VirtualDisplay(1024, 768)
    try:
        reports = {label: [] for label, _ in builds}
        for _ in range(args.runs):
            for label, binary in builds:
                reports[label].append(timedemo(display, binary, demo))
    finally:
        display.stop()
    merged = {label: median_report(r) for label, r in reports.items()}
    print("timedemo of %s, %s" % (args.demo, "one run each" if args.runs == 1 else
                                  "medians of %d runs each" % args.runs))
    print("%-32s" % "" + "".join("%22s" % label for label, _ in builds))
    for name, show in ROWS:
        print("%-32s" % name + "".join("%22s" % show(merged[label]) for label, _ in builds))
    first = merged[builds[0][0]]
    for label, _ in builds[1:]:
        print("%-32s" % ("%s / %s, seconds" % (label, builds[0][0])) +
              "%22.2f" % (merged[label]["seconds"] / first["seconds"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
