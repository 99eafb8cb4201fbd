"""What serving costs: a server on loopback with N headless bots (the real
client code, no window) digging, placing, removing and moving at human
rates, for each N in turn; the server's processor time per turn, its peak
memory, the bytes per second per bot each way, and whether every bot ended
with the server's checksum. Then the key-to-first-frame time of joining a
world of many changed chunks against resuming the same world locally.

Usage, from the checkout's root:
  python3 -m bench.net_bench BOTS_PROGRAM SAVE_BENCH DEMO [--seconds S] [--bots 8,32,64] [--runs N]
(--bots "" skips the load test.)
(VELDMARROW_BINARY and VELDMARROW_DATA as for the e2e tests). BOTS_PROGRAM
is veldmarrow-net-bots; SAVE_BENCH (veldmarrow-save-bench) makes the world
of many changed chunks from DEMO."""
import argparse
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import tempfile

from bench.play_bench import SETTINGS, key_to_first_frame
from tests.e2e.harness import Program, VirtualDisplay, make_workdir, wait_for

SEED = {"VELDMARROW_SEED": "20261211"}


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def peak_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"VmHWM:\s+(\d+)", f.read()).group(1))


def serve(folder, world, port, env=SEED):
    server = Program(None, workdir=folder, env=env, args=["--serve", world, "--port", str(port), "--players", "256"])
    wait_for(lambda: any(l.startswith("Serving world ") for l in server.log()), what="the server to listen")
    return server


def stop(server):
    server.process.send_signal(signal.SIGTERM)
    server.wait_exit()
    return next(l for l in server.log() if l.startswith("Server turns: "))


def load(bots_program, bots, seconds):
    folder = make_workdir(SETTINGS)
    try:
        port = free_udp_port()
        server = serve(folder, "load.world", port)
        try:
            out = subprocess.run([bots_program, "127.0.0.1:%d" % port, str(bots), str(seconds)], capture_output=True,
                                 text=True, timeout=seconds + 600)
            peak = peak_kib(server.process.pid)
            turns = stop(server)
        finally:
            server.close()
        print("%d bots: %s" % (bots, turns[len("Server turns: "):]))
        print("  server peak memory %.1f MiB; bots: %s" % (peak / 1024, " ".join(out.stdout.split("\n")[1:]).strip()))
        if out.returncode != 0:
            print("  bots failed: " + out.stderr.strip().replace("\n", "; "))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def join_against_resume(save_bench, demo, runs):
    scratch = tempfile.mkdtemp(prefix="veldmarrow-net-bench-")
    try:
        world = os.path.join(scratch, "dug.world")
        out = subprocess.run([save_bench, demo, world], capture_output=True, text=True, check=True, timeout=1800,
                             cwd=scratch).stdout
        seed = re.search(r"seed (\d+)", out).group(1)
        chunks = re.search(r"closed: (\d+) changed chunks", out).group(1)
        display = VirtualDisplay(800, 600)
        joined, resumed = [], []
        try:
            for run in range(runs):
                folder = make_workdir(SETTINGS)
                try:
                    # Each start its own copy: a killed one leaves its log beside it.
                    shutil.copy(world, os.path.join(folder, "served.world"))
                    port = free_udp_port()
                    server = serve(folder, "served.world", port, env={"VELDMARROW_SEED": seed})
                    try:
                        joined.append(key_to_first_frame(display, Program(
                            display, settings=SETTINGS, args=["--join", "127.0.0.1:%d" % port, "--name", "r%d" % run])))
                    finally:
                        stop(server)
                        server.close()
                finally:
                    shutil.rmtree(folder, ignore_errors=True)
                copy = os.path.join(scratch, "local-%d.world" % run)
                shutil.copy(world, copy)
                resumed.append(key_to_first_frame(display, Program(
                    display, settings=SETTINGS, env={"VELDMARROW_SEED": seed}, args=["--world", copy])))
        finally:
            display.stop()
        j, r = statistics.median(joined), statistics.median(resumed)
        print("key to first play frame, median of %d, world of %s changed chunks: joined over loopback %.3f s, "
              "resumed locally %.3f s: %.2fx" % (runs, chunks, j, r, j / r))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(prog="python3 -m " + __spec__.name, description=__doc__.split("\n\n")[0])
    parser.add_argument("bots_program")
    parser.add_argument("save_bench")
    parser.add_argument("demo")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--bots", default="8,32,64")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    for bots in [int(b) for b in args.bots.split(",") if b]:
        load(args.bots_program, bots, args.seconds)
    join_against_resume(args.save_bench, args.demo, args.runs)


if __name__ == "__main__":
    main()
