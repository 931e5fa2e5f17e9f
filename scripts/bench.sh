#!/usr/bin/env bash
# Runs the benchmarks (not part of the tests). Each prints its figures as ratios against a
# baseline measured in the same run.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/build-lib.sh"
"$repo/scripts/setup.sh" "$build_root"
build_preset windows >/dev/null

echo "== codec: encode and decode of a 10,000-item reply"
"$repo/scripts/wine-run" --root "$build_root/wine" "$build_root/windows/bench/codec_bench.exe"
echo "== walk: sizeOf, analyzeDisk and scanLargeFiles at 1 and N threads on a 100,000-file tree, a 500-folder chain and one 100,000-file folder"
"$repo/bench/walk_bench.sh"
echo "== table: analyzeDisk of a 1,000,000-file NTFS volume from its master file table"
"$repo/bench/mft_bench.sh"
echo "== delete: removing a 100,000-file tree, and 10,000 files given one by one"
"$repo/bench/delete_bench.sh"
echo "== system: the summary and the memory report"
# Wine notes on standard error that it cannot read the label of its Z: drive (the host's root).
"$repo/scripts/wine-run" --root "$build_root/wine" "$build_root/windows/bench/system_bench.exe" \
  2> >(grep -v 'Read access denied for device' >&2)
echo "== duplicates: a 20,000-file tree of about 1 GB"
"$repo/bench/dupes_bench.sh"
echo "== apps: listing 300 registered applications with icons"
"$repo/scripts/wine-run" --root "$build_root/wine" "$build_root/windows/bench/apps_bench.exe"
echo "== soak: memory over 10,000 mixed calls with 11 in flight, after 1,000 to warm up"
"$repo/bench/soak_bench.sh"
