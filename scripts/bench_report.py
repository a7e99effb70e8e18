#!/usr/bin/env python3
"""The report of scripts/bench.sh: each method's median over the rounds with
its fastest and slowest round, the rates, the ratios and the CPU figures,
read from the results file that bench.sh writes.

Usage: bench_report.py RESULTS --rounds N --distinct-bytes B --walk-bytes B
           --single-bytes B --release-bytes FULL PATCH --zip-bytes FULL PATCH
           --program-bits 32|64 --build TEXT

The bytes are what a method should have copied (each distinct file once,
both lists walked, the single method's one file, the listed files of the
full and of the patch release's data folder); a median that differs is
warned of. The zips' bytes are those of the full and the patch release
that scripts/package.sh wrote. The bits are those of the timed update.exe,
and TEXT is the line naming the build that was timed.
"""

import argparse
import os
import sys

# ---- The columns protocol -------------------------------------------------
#
# Each line of the results file is "<method> <value>...", the values named
# by the method's fields below, in order. The first two are what
# bench/copy_bench.cpp prints first for every method: the seconds of the
# timed span and the bytes of the sources it copied; bench.sh puts the Wine
# server's CPU seconds over the whole Wine process third, and the rest of
# the driver's line follows. The cp lines are bench.sh's own timing on the
# host.

TIMED = ("seconds", "bytes", "server_cpu")
# update.exe's peak working set in KiB: idle at its question, and at its
# completion box.
PEAKS = ("idle_kib", "box_kib")
# CPU seconds of the driver's calling thread (user, kernel), then of its
# other threads.
THREADS = ("own_user", "own_kernel", "other_user", "other_kernel")
# Seconds of each phase of the update run's copies (transfer/copy_phases.h),
# in the order of CopyPhase, with the report's label of each. No mark ends
# the flushes of the staged files, which come after the last file's times,
# so the replace step's phase holds them.
PHASES = (
    ("source_checks", "source checks"),
    ("opens", "opens"),
    ("blocks", "64 KiB loop"),
    ("closes", "closes"),
    ("size_check", "size check"),
    ("attributes_times", "attributes, times"),
    ("replace", "flushes, replace"),
)
PHASE_FIELDS = tuple(field for field, _ in PHASES)

# What a method copies: each distinct file once, the install list and then
# the update list, the single method's one small file, or the listed files
# of a release's data folder (the full release's, the patch release's).
DISTINCT, WALK, SINGLE = "distinct", "walk", "single"
FULL_RELEASE, PATCH_RELEASE = "full-release", "patch-release"

# method: (its fields, what it copies)
METHODS = {
    "program-empty": (TIMED + PEAKS, DISTINCT),
    "program": (TIMED + PEAKS, DISTINCT),
    "program-sfv-empty": (TIMED + PEAKS, DISTINCT),
    "program-sfv": (TIMED + PEAKS, DISTINCT),
    "program-manifest-empty": (TIMED + PEAKS, DISTINCT),
    "program-manifest": (TIMED + PEAKS, DISTINCT),
    "single": (TIMED + PEAKS, SINGLE),
    "full-release": (TIMED + PEAKS, FULL_RELEASE),
    "patch-release": (TIMED + PEAKS, PATCH_RELEASE),
    "distinct-empty": (TIMED + THREADS, DISTINCT),
    "distinct": (TIMED + THREADS, DISTINCT),
    "durable-empty": (TIMED + THREADS, DISTINCT),
    "durable": (TIMED + THREADS, DISTINCT),
    "update": (TIMED + PHASE_FIELDS, DISTINCT),
    "copier": (TIMED + THREADS, WALK),
    "system": (TIMED + THREADS, WALK),
    "install": (TIMED + THREADS, WALK),
    "cp": (("seconds", "bytes"), WALK),
}


# The rates tables' column of method names.
METHOD_WIDTH = max(len(method) for method in METHODS)


class ReportError(Exception):
    pass


def read_results(path):
    """The rounds of each method: a list of {field: value} per method."""
    rounds = {}
    with open(path, encoding="utf-8") as results:
        for number, line in enumerate(results, 1):
            words = line.split()
            if not words:
                continue
            method, values = words[0], words[1:]
            if method not in METHODS:
                raise ReportError(f"{path}:{number}: no such method: {method}")
            fields = METHODS[method][0]
            if len(values) != len(fields):
                raise ReportError(f"{path}:{number}: {method} has {len(values)} values, "
                                  f"not {len(fields)} ({' '.join(fields)})")
            try:
                row = {field: float(value) for field, value in zip(fields, values)}
            except ValueError as error:
                raise ReportError(f"{path}:{number}: {error}") from None
            rounds.setdefault(method, []).append(row)
    return rounds


def median(values):
    """The middle value; of an even count, the lower of the two middle ones."""
    ordered = sorted(values)
    return ordered[(len(ordered) + 1) // 2 - 1]


class Results:
    def __init__(self, rounds, expected_bytes):
        self.rounds = rounds
        self.expected_bytes = expected_bytes

    def values(self, method, figure):
        """A figure of each round of the method: a field's name, or a
        function of a round's fields."""
        if method not in self.rounds:
            raise ReportError(f"no timing of {method}")
        if callable(figure):
            return [figure(row) for row in self.rounds[method]]
        return [row[figure] for row in self.rounds[method]]

    def median(self, method, figure):
        return median(self.values(method, figure))

    def fastest(self, method):
        return min(self.values(method, "seconds"))

    def slowest(self, method):
        return max(self.values(method, "seconds"))

    def rate(self, method):
        """MB/s (10^6 bytes) of the median bytes over the median seconds."""
        return self.median(method, "bytes") / self.median(method, "seconds") / 1e6

    def rate_ratio(self, method, other):
        return self.rate(method) / self.rate(other)

    def seconds_ratio(self, method, other):
        return self.median(method, "seconds") / self.median(other, "seconds")

    def check_bytes(self, method):
        copied = self.median(method, "bytes")
        expected = self.expected_bytes[METHODS[method][1]]
        if copied != expected:
            print(f"warning: {method} copied {copied:.0f} bytes, expected {expected}",
                  file=sys.stderr)


def print_rates(results, methods):
    print(f"{'method':<{METHOD_WIDTH}} {'seconds':>9} {'fastest':>9} {'slowest':>9} {'MB/s':>9} "
          f"{'bytes':>11} {'server-CPU':>11}")
    for method in methods:
        results.check_bytes(method)
        server = "-"
        if "server_cpu" in METHODS[method][0]:
            server = f"{results.median(method, 'server_cpu'):.2f}"
        print(f"{method:<{METHOD_WIDTH}} {results.median(method, 'seconds'):9.3f} "
              f"{results.fastest(method):9.3f} {results.slowest(method):9.3f} "
              f"{results.rate(method):9.1f} {results.median(method, 'bytes'):11.0f} {server:>11}")


def extra_seconds(results, method, other):
    """How much longer the method took than the other (median seconds):
    "+S s (+P %)", less when it took less."""
    seconds = results.median(method, "seconds")
    reference = results.median(other, "seconds")
    return f"{seconds - reference:+.3f} s ({(seconds - reference) / reference * 100:+.0f} %)"


def print_durability(results, folder, suffix):
    """What writing the files through to the disk costs: update.exe beside
    its durable peer and beside the plain loop, and the peer's own flushes."""
    print(f"durability cost, {folder}: update.exe vs durable peer "
          f"{extra_seconds(results, 'program' + suffix, 'durable' + suffix)}, vs non-durable loop "
          f"{extra_seconds(results, 'program' + suffix, 'distinct' + suffix)}; durable peer vs "
          f"non-durable loop {extra_seconds(results, 'durable' + suffix, 'distinct' + suffix)}")


def print_program(results, single_kib):
    """update.exe as a user meets it, beside the distinct CopyFileA loop and
    its durable peer, what the flushes and the checks cost, its memory and
    its fixed cost."""
    print("The update as a user meets it (update.exe from its button to its box; "
          "each distinct file once):")
    print_rates(results, ("program-empty", "distinct-empty", "durable-empty", "program",
                          "distinct", "durable", "program-sfv-empty", "program-sfv",
                          "program-manifest-empty", "program-manifest", "single"))
    print(f"update.exe / non-durable distinct CopyFileA loop: into an empty folder "
          f"{results.rate_ratio('program-empty', 'distinct-empty'):.2f} (aim: 0.95 or more), "
          f"into old files {results.rate_ratio('program', 'distinct'):.2f}")
    print(f"the same of the fastest rounds, into an empty folder: "
          f"{results.fastest('distinct-empty') / results.fastest('program-empty'):.2f}")
    print(f"update.exe / durable peer (CopyFileA, then FlushFileBuffers, each file): "
          f"into an empty folder {results.rate_ratio('program-empty', 'durable-empty'):.2f}, "
          f"into old files {results.rate_ratio('program', 'durable'):.2f}")
    print_durability(results, "into an empty folder", "-empty")
    print_durability(results, "into old files", "")
    print(f"checked update (update.sfv) / the same without: "
          f"{results.seconds_ratio('program-sfv-empty', 'program-empty'):.2f} into an empty folder, "
          f"{results.seconds_ratio('program-sfv', 'program'):.2f} into old files "
          f"(aim: 1.25 or less)")
    print(f"checked update (manifest) / the same without: "
          f"{results.seconds_ratio('program-manifest-empty', 'program-empty'):.2f} into an empty "
          f"folder, {results.seconds_ratio('program-manifest', 'program'):.2f} into old files "
          f"(aim: 1.25 or less)")
    print(f"fixed cost: {results.median('single', 'seconds'):.3f} s from the button to the box "
          f"for one {single_kib} KiB file")
    idle = results.median("program-empty", "idle_kib")
    box = results.median("program-empty", "box_kib")
    print(f"peak working set of update.exe: {idle:.0f} KiB idle at its question, {box:.0f} KiB "
          f"at its completion box ({box - idle:+.0f} KiB)")


def print_releases(results, arguments):
    """The patch release beside the full release: their zips, their times
    from the button to the box on the same game and the memory each took."""
    print("The patch release beside the full release (the release's update.exe from its button "
          "to its box, on a registered game of the earlier version, copied afresh each round):")
    print(f"{'method':<{METHOD_WIDTH}} {'seconds':>9} {'fastest':>9} {'slowest':>9} "
          f"{'bytes':>11} {'server-CPU':>11} {'peak KiB':>9} {'max KiB':>9}")
    for method in (FULL_RELEASE, PATCH_RELEASE):
        results.check_bytes(method)
        print(f"{method:<{METHOD_WIDTH}} {results.median(method, 'seconds'):9.3f} "
              f"{results.fastest(method):9.3f} {results.slowest(method):9.3f} "
              f"{results.median(method, 'bytes'):11.0f} "
              f"{results.median(method, 'server_cpu'):11.2f} "
              f"{results.median(method, 'box_kib'):9.0f} "
              f"{max(results.values(method, 'box_kib')):9.0f}")
    full_zip, patch_zip = arguments.zip_bytes
    print(f"zip of the full release {full_zip} bytes, of the patch release {patch_zip} bytes: "
          f"patch / full = {patch_zip / full_zip:.3f} (aim: 0.25 or less)")
    print(f"patch-release / full-release time: "
          f"{results.seconds_ratio(PATCH_RELEASE, FULL_RELEASE):.2f} (aim: 2 or less)")
    build = ("the 32-bit build (aim: below 1 GiB, 1048576 KiB)" if arguments.program_bits == 32
             else "the x86_64 build, not the 32-bit one the 1 GiB aim is for")
    print(f"peak working set of update.exe at its completion box, {build}: full release "
          f"{results.median(FULL_RELEASE, 'box_kib'):.0f} KiB, patch release "
          f"{results.median(PATCH_RELEASE, 'box_kib'):.0f} KiB "
          f"(medians; max KiB in the table: the largest round)")


def print_phases(results):
    """Where the engine's update run spends its time, phase by phase (medians
    of each phase on its own, so they need not add up to the median whole)."""
    print("The update run's phases (in-process, into an empty folder; median seconds over the run):")
    for field, label in PHASES:
        print(f"  {label:<18} {results.median('update', field):7.3f}")
    total = results.median("update", lambda row: sum(row[field] for field in PHASE_FIELDS))
    print(f"  {'sum':<18} {total:7.3f}   (the rest of {results.median('update', 'seconds'):.3f} s: "
          f"the completion box and what runs before the first file)")


def print_ratios(results):
    for method in ("update", "copier", "install"):
        print(f"{method:<7} / system copy = {results.rate_ratio(method, 'system'):.2f}   "
              f"{method:<7} / cp = {results.rate_ratio(method, 'cp'):.2f}")


def print_cpu(results, label, method, user, kernel):
    """CPU seconds of one thread of a method: user, kernel, their sum and
    the sum as a share of the method's wall time."""
    total = results.median(method, lambda row: row[user] + row[kernel])
    share = results.median(method, lambda row: (row[user] + row[kernel]) / row["seconds"] * 100)
    print(f"{label:<40} {results.median(method, user):6.3f} {results.median(method, kernel):6.3f} "
          f"{total:6.3f} {share:5.1f}%")


def print_report(results, arguments):
    print()
    print_program(results, arguments.single_bytes // 1024)
    print()
    print_releases(results, arguments)
    print()
    print_phases(results)
    print()
    print("The parts (into empty folders):")
    print_rates(results, ("update", "copier", "system", "install", "cp"))
    print()
    print_ratios(results)
    print()
    print(f"{'CPU seconds over the timed span':<40} {'user':>6} {'kernel':>6} {'total':>6} "
          f"{'/wall':>6}")
    print_cpu(results, "install: waiting loop (calling thread)", "install", "own_user", "own_kernel")
    print_cpu(results, "install: copy thread (process - loop)", "install", "other_user",
              "other_kernel")
    print_cpu(results, "copier: calling thread (it copies)", "copier", "own_user", "own_kernel")
    print_cpu(results, "system: calling thread (it copies)", "system", "own_user", "own_kernel")
    print(arguments.build)
    print(f"(median of {arguments.rounds} rounds, each figure on its own; MB = 10^6 bytes; "
          f"{len(os.sched_getaffinity(0))} cores;")
    print(" server-CPU: the Wine server's CPU seconds over each whole Wine process, start-up")
    print(" included; thread times come in 10 ms ticks, so a small figure may read -0.010)")


def main():
    parser = argparse.ArgumentParser(description="The report of scripts/bench.sh.")
    parser.add_argument("results")
    parser.add_argument("--rounds", type=int, required=True)
    parser.add_argument("--distinct-bytes", type=int, required=True)
    parser.add_argument("--walk-bytes", type=int, required=True)
    parser.add_argument("--single-bytes", type=int, required=True)
    parser.add_argument("--release-bytes", type=int, nargs=2, required=True,
                        metavar=("FULL", "PATCH"))
    parser.add_argument("--zip-bytes", type=int, nargs=2, required=True, metavar=("FULL", "PATCH"))
    parser.add_argument("--program-bits", type=int, choices=(32, 64), required=True)
    parser.add_argument("--build", required=True)
    arguments = parser.parse_args()
    expected = {DISTINCT: arguments.distinct_bytes, WALK: arguments.walk_bytes,
                SINGLE: arguments.single_bytes, FULL_RELEASE: arguments.release_bytes[0],
                PATCH_RELEASE: arguments.release_bytes[1]}
    try:
        print_report(Results(read_results(arguments.results), expected), arguments)
    except (ReportError, OSError) as error:
        print(f"bench_report: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
