#!/usr/bin/env bash
# Fuzzes the engine (not a test: it is not counted by scripts/test.sh).
#
# Builds tests/fuzz/engine_fuzz.cpp with clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer against the fake platform in build/fuzz,
# runs it for the given number of seconds from the seed corpus
# (tests/fuzz/corpus, read only) and the inputs found by earlier runs
# (build/fuzz/corpus), and prints the executions, the coverage and the
# findings: each crash, sanitizer report, leak or timeout with its
# reproducer (run `build/fuzz/engine_fuzz <file>` to replay one). libFuzzer
# stops at the first finding. Exits non-zero when there was one.
#
# Usage: scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/prerequisites.sh
source "$root/scripts/prerequisites.sh"

seconds="${1:-60}"
case "$seconds" in
    '' | *[!0-9]*) echo "Usage: $0 [seconds]" >&2; exit 2 ;;
esac

ensure_prerequisites clang libclang-rt-14-dev
restart_after_new_locale "$0" "$@"

build="$root/build/fuzz"
corpus="$build/corpus"
findings="$build/findings"
log="$build/fuzz.log"
mkdir -p "$corpus" "$findings"

echo "== building the fuzz target in $build"
if ! { cmake -S "$root" -B "$build" -DFUZZ=ON -DCMAKE_C_COMPILER=clang \
           -DCMAKE_CXX_COMPILER=clang++ && cmake --build "$build" -j2; } >"$build.log" 2>&1; then
    tail -n 40 "$build.log"
    echo "== the fuzz target did not build (full log: $build.log)" >&2
    exit 1
fi

# The fake platform makes a new temporary folder for every input: on a
# memory file system that costs a fifth of what it costs on disk. Whatever
# a crashed run leaves there goes with the folder.
scratch_parent=/dev/shm
[ -d "$scratch_parent" ] && [ -w "$scratch_parent" ] || scratch_parent="$build"
scratch="$(mktemp -d "$scratch_parent/engine_fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

before="$(mktemp "$scratch/before.XXXXXX")"
ls "$findings" >"$before"

echo "== fuzzing for $seconds s (log: $log)"
status=0
(cd "$build" && TMPDIR="$scratch" ./engine_fuzz -max_total_time="$seconds" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$root/tests/fuzz/corpus") \
    >"$log" 2>&1 || status=$?

edges="$(grep -oE '\(([0-9]+) inline 8-bit counters\)' "$log" | grep -oE '[0-9]+' | head -n 1 || true)"
last="$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)"
runs="$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log")"
[ -n "$runs" ] || runs="$(sed -nE 's/^#([0-9]+).*/\1/p' <<<"$last")"
speed="$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+).*/\1/p' "$log")"
cov="$(grep -oE 'cov: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || true)"
features="$(grep -oE 'ft: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || true)"
units="$(grep -oE 'corp: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || true)"

echo "executions: ${runs:-0}${speed:+ ($speed per second)}"
echo "coverage:   ${cov:-0} of ${edges:-?} edges, ${features:-0} features, ${units:-0} inputs in the corpus"

new_findings=()
while IFS= read -r name; do
    grep -qxF "$name" "$before" || new_findings+=("$findings/$name")
done < <(ls "$findings")

if [ ${#new_findings[@]} -eq 0 ] && [ "$status" -eq 0 ]; then
    echo "findings:   none"
    exit 0
fi
echo "findings:   ${#new_findings[@]}"
grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error:|ALARM|==[0-9]+== ERROR)' "$log" | sed 's/^/  /' || true
for file in "${new_findings[@]}"; do
    echo "  reproducer: $file"
done
[ ${#new_findings[@]} -gt 0 ] || echo "  the fuzzer ended with status $status; see $log"
exit 1
