#!/usr/bin/env bash
# Writes the table reader's fuzz seeds (fs/mft/fuzz_seeds) from the small volumes the tests
# build byte by byte, damaged variants included. Run after a change to the volume layout or to
# damaged_test_volumes.cpp, then commit the seeds. Needs the native build folder configured.
# Usage: fs/mft/make_fuzz_seeds.sh [BUILD_ROOT]
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-${TIDVALE_BUILD_ROOT:-$repo/build}}/native
cmake --build "$build" --target mft_seed_writer -- -j2 >/dev/null
seeds="$repo/fs/mft/fuzz_seeds"
rm -f "$seeds"/*
"$build/fs/mft/mft_seed_writer" "$seeds"
echo "make_fuzz_seeds: $(ls "$seeds" | wc -l) seeds in $seeds" >&2
