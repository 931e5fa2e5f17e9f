#!/usr/bin/env bash
# Memory soak: one Tidvale.exe answers 1,000 warm-up calls and then 10,000 more of a seeded mix
# (the five scans, deletions in its own folders, system figures, cancels, emptying the bin of the
# build's own prefix) with 11 calls in flight, listened to on the event stream. Prints the
# program's resident memory after every thousand calls and the last reading over the one after
# the warm-up (goal: at most 1.10). Options go to bench/soak_bench.py (--calls, --warmup,
# --in-flight, --seed, --only, --trash-share, --folders-to-bin).
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/bench-lib.sh"
build_bench_targets tidvale_app
python3 "$repo/bench/soak_bench.py" "$@"
