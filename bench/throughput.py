#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times encoding and decoding against cp of the same file, and reports the
program's peak resident memory, for a 1 MiB and a 256 MiB input, each into a
new output and over an existing one. Beside the program it times the floor of
this machine in the same rounds: cp, cat, and dd with the program's write size,
so a reader sees how far the program is from what the machine allows.

Usage: bench/throughput.py [PROGRAM] [--rounds N] [--folder DIR]
Builds nothing: pass the program (default build/release/varnhold). Needs GNU
time (/usr/bin/time, package `time`) for the peak resident set.

Each round runs every case once, interleaved with cp, so a change in the
machine's load reaches the program and cp alike; each ratio is the program's
median over cp's median in the same run. The page cache is NOT flushed: the
input is read once before the rounds and stays cached, as it is for a file
just downloaded or just written. Before each timed run, sync writes back the
previous run's dirty pages, so that no run pays for another's write-back.
"""
import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MiB = 1024 * 1024
TIME = "/usr/bin/time"
# The program reads and writes sixteen 61,440-byte blocks at a time (the copy
# buffer in src/container/block_copy.cpp); dd copies with that size.
DD_BLOCK = 16 * 61_440


def run_measured(argv, expected_out=None, stdout_to=None):
    """Runs argv in the current folder; returns (seconds, the child's peak RSS in KiB).

    GNU time reports the peak RSS of the program itself; a child forked from
    this interpreter would count the interpreter's pages until it execs.
    `stdout_to` names a file that takes standard output, emptied inside the
    timed span, as a shell's `>` would be.
    """
    report = "rss.txt"
    os.sync()
    start = time.perf_counter()
    if stdout_to is None:
        done = subprocess.run([TIME, "-f", "%M", "-o", report] + argv, stdout=subprocess.PIPE)
    else:
        with open(stdout_to, "wb") as out:
            done = subprocess.run([TIME, "-f", "%M", "-o", report] + argv, stdout=out)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{argv} exited with {done.returncode}")
    if expected_out is not None and done.stdout.decode() != expected_out:
        sys.exit(f"{argv} printed {done.stdout!r}, not {expected_out!r}: the output went elsewhere")
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


def remove(*names):
    for name in names:
        try:
            os.remove(name)
        except FileNotFoundError:
            pass


def same_bytes(a, b):
    with open(a, "rb") as x, open(b, "rb") as y:
        while True:
            p, q = x.read(4 * MiB), y.read(4 * MiB)
            if p != q:
                return False
            if not p:
                return True


def measure(program, size, rounds):
    """Medians in seconds and peak RSS in KiB, keyed by (case, 'new'|'over')."""
    name = f"input-{size}.bin"
    picture, restored = name + ".bmp", name + ".bmp.bin"
    copy, cat_copy, dd_copy = name + ".cp", name + ".cat", name + ".dd"
    make_input(name, size)
    cp, cat, dd = shutil.which("cp"), shutil.which("cat"), shutil.which("dd")
    # (case, argv, expected standard output, the file made, standard output's file)
    steps = [
        ("cp", [cp, name, copy], None, copy, None),
        ("cat", [cat, name], None, cat_copy, cat_copy),
        ("dd", [dd, f"if={name}", f"of={dd_copy}", f"bs={DD_BLOCK}", "status=none"], None, dd_copy, None),
        ("encode", [program, name], ".bmp", picture, None),
        ("decode", [program, picture], ".bin", restored, None),
    ]
    times, rss = {}, {}
    for _ in range(rounds):
        # A new output each time, then the same runs over the outputs just made.
        for mode in ("new", "over"):
            for case, argv, out, made, stdout_to in steps:
                if mode == "new":
                    remove(made)
                t, peak = run_measured(argv, out, stdout_to)
                times.setdefault((case, mode), []).append(t)
                rss[(case, mode)] = max(rss.get((case, mode), 0), peak)
    if not same_bytes(name, restored):
        sys.exit("round trip differs")
    remove(name, picture, restored, copy, cat_copy, dd_copy)
    return {k: statistics.median(v) for k, v in times.items()}, rss


def folder_type(folder):
    # findmnt names ext4 as such; stat -f calls every ext file system "ext2/ext3".
    for argv in (["findmnt", "-n", "-o", "FSTYPE,OPTIONS", "--target", folder], ["stat", "-f", "-c", "%T", folder]):
        try:
            found = " ".join(subprocess.run(argv, capture_output=True, text=True).stdout.split())
        except OSError:
            continue
        if found:
            return found
    return "unknown"


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program", nargs="?", default="build/release/varnhold")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--folder", default=None, help="where the files go (default: a temporary folder)")
    args = parser.parse_args()
    if not os.access(TIME, os.X_OK):
        sys.exit(f"{TIME} is missing (package `time`)")
    program = os.path.abspath(args.program)
    folder = args.folder or tempfile.mkdtemp(prefix="varnhold-bench-")
    os.chdir(folder)
    print(f"program {program}")
    print(f"folder {folder} ({folder_type(folder)}), Linux {platform.release()}, {os.cpu_count()} x {cpu_model()}, "
          f"load {os.getloadavg()[0]:.2f}")
    print(f"{args.rounds} interleaved rounds, medians; page cache warm, not flushed; sync before each run")
    print(f"floor: cp, cat and dd bs={DD_BLOCK} of the same file in the same rounds, as ratios to cp")
    print(f"{'input':>8} {'output':>6} {'cp ms':>8} {'cat':>5} {'dd':>5} {'encode ms':>10} {'/cp':>5}"
          f" {'decode ms':>10} {'/cp':>5} {'RSS KiB enc':>12} {'dec':>6}")
    for size in (1 * MiB, 256 * MiB):
        medians, rss = measure(program, size, args.rounds)
        for mode in ("new", "over"):
            cp_time = medians[("cp", mode)]
            cat, dd = medians[("cat", mode)], medians[("dd", mode)]
            enc, dec = medians[("encode", mode)], medians[("decode", mode)]
            print(f"{size // MiB:>4} MiB {mode:>6} {cp_time * 1000:8.1f} {cat / cp_time:5.2f} {dd / cp_time:5.2f}"
                  f" {enc * 1000:10.1f} {enc / cp_time:5.2f} {dec * 1000:10.1f} {dec / cp_time:5.2f}"
                  f" {rss[('encode', mode)]:12d} {rss[('decode', mode)]:6d}")
    print(f"load at the end {os.getloadavg()[0]:.2f}")
    if not args.folder:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
