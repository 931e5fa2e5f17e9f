#!/usr/bin/env bash
# Removal benchmark: "deleteItems" (which measures each item, then removes it through held
# folder handles) against a raw FindFirstFileExW + DeleteFileW / RemoveDirectoryW loop, each on a
# fresh copy of the same generated 100,000-file tree inside the isolated prefix, interleaved.
# Prints the ratio of their speeds and the share of the routine's time its measurement takes.
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build), DELETE_BENCH_REPETITIONS (default 3).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/bench-lib.sh"
repetitions=${DELETE_BENCH_REPETITIONS:-3}
build_bench_targets delete_items_bench delete_raw_bench

# The same 100,000-file tree as the walk benchmark's.
make_tree() { python3 "$repo/bench/sparse_tree.py" "$1"; }

lines=()
for ((i = 0; i < repetitions; i++)); do
  rm -rf "$drive_c/delete-bench-raw" "$drive_c/delete-bench-items"
  make_tree "$drive_c/delete-bench-raw"
  make_tree "$drive_c/delete-bench-items"
  lines+=("$(run "$windows_dir/bench/delete_raw_bench.exe" 'C:\delete-bench-raw')")
  lines+=("$(run "$windows_dir/bench/delete_items_bench.exe" 'C:\delete-bench-items')")
  if [ -e "$drive_c/delete-bench-items" ] || [ -e "$drive_c/delete-bench-raw" ]; then
    echo "delete bench: a tree was not removed whole" >&2
    exit 1
  fi
done

python3 - "${lines[@]}" <<'PY'
import statistics, sys
raw, items = [], []
for line in sys.argv[1:]:
    name, *pairs = line.split()
    fields = dict(p.split("=", 1) for p in pairs)
    (raw if name == "raw" else items).append(fields)
files = int(raw[0]["files"])
if any(int(i["failed"]) for i in items):
    sys.exit("delete bench: deleteItems reported failures")
t_raw = statistics.median(float(r["seconds"]) for r in raw)
t_items = statistics.median(float(i["seconds"]) for i in items)
t_measure = statistics.median(float(i["measure_seconds"]) for i in items)
print(f"files: {files}")
print(f"raw walk-and-delete: {t_raw:.2f} s ({files / t_raw:,.0f} files/s)")
print(f"deleteItems:         {t_items:.2f} s ({files / t_items:,.0f} files/s)")
print(f"deleteItems speed / raw speed: {t_raw / t_items:.2f}x (goal >= 0.7x)")
print(f"measuring share of deleteItems: {t_measure / t_items:.0%}")
PY
