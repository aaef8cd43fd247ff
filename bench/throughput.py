#!/usr/bin/env python3
"""Times encoding and decoding against cp on the same bytes, and reports the
program's peak resident memory for a small and a large input.

Usage: bench/throughput.py [PROGRAM] [--rounds N] [--folder DIR]
Builds nothing: pass the program (default build/release/varnhold).
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MiB = 1024 * 1024


def run_measured(argv):
    """Runs argv in the current folder; returns (seconds, the child's peak RSS in KiB).

    GNU time reports the peak RSS: a child forked from this interpreter would
    count the interpreter's own pages until it execs.
    """
    report = "rss.txt"
    # Writing back the previous run's pages would otherwise land in this one.
    os.sync()
    start = time.perf_counter()
    done = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + argv, stdout=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{argv} exited with {done.returncode}")
    with open(report) as f:
        peak = int(f.read().split()[-1])
    os.remove(report)
    return elapsed, peak


def make_input(path, size):
    with open(path, "wb") as out:
        left = size
        while left:
            piece = min(left, 4 * MiB)
            out.write(os.urandom(piece))
            left -= piece


def drop(folder, *names):
    for name in names:
        try:
            os.remove(name)
        except FileNotFoundError:
            pass


def measure(program, folder, size, rounds):
    name = f"input-{size}.bin"
    make_input(name, size)
    cp = shutil.which("cp")
    times = {"encode": [], "decode": [], "cp": []}
    rss = {"encode": 0, "decode": 0}
    for _ in range(rounds):
        drop(folder, name + ".bmp", name + ".bmp.bin", name + ".copy")
        t, peak = run_measured([program, name])
        times["encode"].append(t)
        rss["encode"] = max(rss["encode"], peak)
        t, peak = run_measured([program, name + ".bmp"])
        times["decode"].append(t)
        rss["decode"] = max(rss["decode"], peak)
        t, _ = run_measured([cp, name, name + ".copy"])
        times["cp"].append(t)
    with open(name, "rb") as a, open(name + ".bmp.bin", "rb") as b:
        if a.read() != b.read():
            sys.exit("round trip differs")
    drop(folder, name, name + ".bmp", name + ".bmp.bin", name + ".copy")
    return {k: statistics.median(v) for k, v in times.items()}, rss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program", nargs="?", default="build/release/varnhold")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--folder", default=None, help="where the files go (default: a temporary folder)")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    folder = args.folder or tempfile.mkdtemp(prefix="varnhold-bench-")
    os.chdir(folder)
    print(f"program {program}, folder {folder}, {args.rounds} rounds, medians")
    for size in (1 * MiB, 256 * MiB):
        medians, rss = measure(program, folder, size, args.rounds)
        print(f"{size // MiB:4d} MiB: encode {medians['encode']*1000:8.1f} ms, decode {medians['decode']*1000:8.1f} ms, "
              f"cp {medians['cp']*1000:8.1f} ms; encode/cp {medians['encode']/medians['cp']:.2f}, "
              f"decode/cp {medians['decode']/medians['cp']:.2f}; peak RSS encode {rss['encode']} KiB, "
              f"decode {rss['decode']} KiB")
    if not args.folder:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
