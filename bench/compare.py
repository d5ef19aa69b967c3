#!/usr/bin/env python3
"""Times hex2ver against the converters people use today and against the plain cost of the file I/O.

    python3 bench/compare.py [--hex2ver PATH] [--also NAME=PATH]... [--runs N] [--dir DIR]

Generates, with a fixed seed and the end-to-end tests' hexfiles.py, the HEX file of a 16 MiB image (16-byte data
records, a type 04 record at each 64 KiB boundary, CR LF) and of an 8 KiB image; checks that hex2ver's word image
holds the same data as the peers' output; then runs every command several times, interleaved, and prints the
median wall, user and system times, the peak memory and the ratios. --also times another build of hex2ver beside
the first (an earlier commit, a static build), under NAME.
Peers that are not installed are named and left out (Debian packages binutils and srecord); nothing is installed.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from hexfiles import hex_text  # noqa: E402


def write_hex(path, image):
    with open(path, "w", newline="") as f:
        f.write(hex_text({0: image}, record_size=16))


def ver_image(path):
    with open(path, "rb") as f:
        return bytes.fromhex(f.read().replace(b"\r\n", b"").decode())


def peer_image(path, size):
    """The bytes of a Verilog memory file of 16-bit words, most significant byte first, @ giving word addresses."""
    image = bytearray(b"\xff" * size)
    word = 0
    with open(path) as f:
        text = f.read()
    while "/*" in text:
        start = text.index("/*")
        text = text[:start] + text[text.index("*/", start) + 2:]
    for token in text.split():
        if token.startswith("@"):
            word = int(token[1:], 16)
        else:
            image[2 * word:2 * word + 2] = int(token, 16).to_bytes(2, "big")
            word += 1
    return bytes(image)


def run(command):
    """Wall, user and system time in seconds of one run of a command (an argument list)."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit("failed (%d): %s" % (child.returncode, " ".join(command)))
    return elapsed, usage.ru_utime, usage.ru_stime


def peak_memory(command):
    """Peak resident memory in KiB of one run of a command, from GNU time, which starts the command itself: a
    child of this Python process would carry the parent's peak over into its own."""
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.check_call(["/usr/bin/time", "-f", "%M", "-o", report.name] + command, stdout=subprocess.DEVNULL)
        return int(report.read().split()[-1])


def commands(hex2ver, others, hex_path, size):
    stem = hex_path[:-4]
    found = {"hex2ver": [hex2ver, hex_path, str(size)]}
    for name, path in others:
        found[name] = [path, hex_path, str(size)]
    if shutil.which("objcopy"):
        found["objcopy"] = ["objcopy", "-I", "ihex", "-O", "verilog", "--verilog-data-width", "2", hex_path,
                            stem + ".objcopy"]
    else:
        print("objcopy not found (Debian package binutils): left out")
    if shutil.which("srec_cat"):
        found["srec_cat"] = ["srec_cat", hex_path, "-intel", "-o", stem + ".srec", "-VMem", "16"]
    else:
        print("srec_cat not found (Debian package srecord): left out")
    output_bytes = size // 2 * 6
    found["floor"] = ["sh", "-c", "cat %s >/dev/null; dd if=/dev/zero of=%s.floor bs=%d count=%d status=none" % (
        hex_path, stem, min(output_bytes, 1 << 20), max(1, output_bytes >> 20))]
    return found


def check(found, builds, hex_path, size):
    """Runs every command once; each build of hex2ver must write the same word image, and each peer the same
    data."""
    stem = hex_path[:-4]
    ours = None
    for name, command in found.items():
        run(command)
        if name in builds:
            image = ver_image(stem + ".ver")
            if ours is not None and image != ours:
                sys.exit("%s's word image differs from hex2ver's for %s" % (name, hex_path))
            ours = image
    results = []
    for name, suffix in [("objcopy", ".objcopy"), ("srec_cat", ".srec")]:
        if name in found:
            same = peer_image(stem + suffix, size) == ours
            results.append("%s %s" % (name, "same data" if same else "DIFFERENT DATA"))
            if not same:
                sys.exit("hex2ver's word image differs from %s's output for %s" % (name, hex_path))
    print("check %s: %d lines; %s" % (os.path.basename(hex_path), len(ours) // 2, ", ".join(results) or "no peer"))


def bench(found, runs):
    """The medians of wall, user and system time of each command, and its peak memory."""
    times = {name: [] for name in found}
    names = list(found)
    for round_number in range(runs):
        # Each round starts with another command: the one run just after the floor's large write pays for it.
        shift = round_number % len(names)
        for name in names[shift:] + names[:shift]:
            times[name].append(run(found[name]))
    peaks = {name: peak_memory(command) for name, command in found.items()}
    medians = {name: [statistics.median(column) for column in zip(*values)] for name, values in times.items()}
    return medians, peaks


def table(title, medians, peaks):
    ours = medians["hex2ver"][0]
    print("\n%s" % title)
    print("%-10s %10s %10s %10s %10s %14s" % ("command", "wall ms", "user ms", "system ms", "peak MiB",
                                           "hex2ver/this"))
    for name, (wall, user, system) in medians.items():
        print("%-10s %10.1f %10.1f %10.1f %10.1f %14.3f" % (name, wall * 1000, user * 1000, system * 1000,
                                                          peaks[name] / 1024, ours / wall))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--hex2ver", default=os.path.join(ROOT, "build/release/hex2ver/hex2ver"))
    parser.add_argument("--also", action="append", default=[], metavar="NAME=PATH",
                        help="another hex2ver build to time beside the first")
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--dir", default=os.path.join(ROOT, "build/bench-data"))
    args = parser.parse_args()
    others = [entry.split("=", 1) for entry in args.also]
    if any(len(entry) != 2 or not os.access(entry[1], os.X_OK) for entry in others):
        sys.exit("--also takes NAME=PATH, PATH a program")
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("no /usr/bin/time (Debian package time): it measures the peak memory")
    if not os.access(args.hex2ver, os.X_OK):
        sys.exit("no hex2ver at %s: build it first (cmake --preset release && cmake --build --preset "
                 "release)" % args.hex2ver)
    os.makedirs(args.dir, exist_ok=True)
    rng = random.Random(20261210)
    cases = [("large.hex", 16 << 20, "16 MiB image"), ("small.hex", 8 << 10, "8 KiB image")]
    for name, size, _ in cases:
        path = os.path.join(args.dir, name)
        if not os.path.exists(path):
            write_hex(path, rng.randbytes(size))

    empty = os.path.join(args.dir, "empty.hex")
    with open(empty, "w") as f:
        f.write(":00000001FF\r\n")
    empty_peak = peak_memory([args.hex2ver, empty, "0"])

    for name, size, title in cases:
        path = os.path.join(args.dir, name)
        found = commands(args.hex2ver, others, path, size)
        check(found, ["hex2ver"] + [name for name, _ in others], path, size)
        medians, peaks = bench(found, args.runs)
        table("%s (%s, %d runs each, interleaved)" % (title, name, args.runs), medians, peaks)
        above = (peaks["hex2ver"] - empty_peak) / 1024
        print("hex2ver peak above an empty run: %.1f MiB (image %.1f MiB + 4 MiB allowed)" % (above, size / 2**20))
        print("hex2ver: %.2f times the floor; objcopy takes %s times as long" % (
            medians["hex2ver"][0] / medians["floor"][0],
            "%.1f" % (medians["objcopy"][0] / medians["hex2ver"][0]) if "objcopy" in medians else "(no objcopy)"))


if __name__ == "__main__":
    main()
