#!/usr/bin/env bash
# Removal benchmark: "deleteItems" (which resolves each item from its volume root, measures it,
# then removes it through held folder handles) against raw loops, on fresh copies of the same
# generated trees inside the isolated prefix, interleaved:
# - one 100,000-file tree given as one path, against a FindFirstFileExW + DeleteFileW /
#   RemoveDirectoryW loop;
# - 10,000 files given as separate paths (the junk scan's shape), against DeleteFileW per path.
# Prints the ratios of their speeds and the share of the routine's time its measurement takes.
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build), DELETE_BENCH_REPETITIONS (default 3).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/bench-lib.sh"
repetitions=${DELETE_BENCH_REPETITIONS:-3}
build_bench_targets delete_items_bench delete_raw_bench

# The same 100,000-file tree as the walk benchmark's.
make_tree() { python3 "$repo/bench/sparse_tree.py" "$1"; }
# 10,000 small files in 100 folders, four levels below the drive, as cache files lie.
make_files() {
  python3 - "$1" <<'PY'
import os, sys
for d in range(100):
    folder = os.path.join(sys.argv[1], "Local", "Cache", f"d{d:02d}")
    os.makedirs(folder)
    for i in range(100):
        with open(os.path.join(folder, f"entry{i:02d}.tmp"), "wb") as f:
            f.truncate(512)
PY
}

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
  rm -rf "$drive_c/delete-paths-raw" "$drive_c/delete-paths-items"
  make_files "$drive_c/delete-paths-raw"
  make_files "$drive_c/delete-paths-items"
  lines+=("paths-$(run "$windows_dir/bench/delete_raw_bench.exe" --paths 'C:\delete-paths-raw')")
  lines+=("paths-$(run "$windows_dir/bench/delete_items_bench.exe" --paths 'C:\delete-paths-items')")
  rm -rf "$drive_c/delete-paths-raw" "$drive_c/delete-paths-items"
done

python3 - "${lines[@]}" <<'PY'
import statistics, sys
runs = {"raw": [], "deleteItems": [], "paths-raw": [], "paths-deleteItems": []}
for line in sys.argv[1:]:
    name, *pairs = line.split()
    runs[name].append(dict(p.split("=", 1) for p in pairs))
raw, items = runs["raw"], runs["deleteItems"]
files = int(raw[0]["files"])
if any(int(i["failed"]) for i in items + runs["paths-deleteItems"]):
    sys.exit("delete bench: deleteItems reported failures")
t_raw = statistics.median(float(r["seconds"]) for r in raw)
t_items = statistics.median(float(i["seconds"]) for i in items)
t_measure = statistics.median(float(i["measure_seconds"]) for i in items)
print(f"files: {files}")
print(f"raw walk-and-delete: {t_raw:.2f} s ({files / t_raw:,.0f} files/s)")
print(f"deleteItems:         {t_items:.2f} s ({files / t_items:,.0f} files/s)")
print(f"deleteItems speed / raw speed: {t_raw / t_items:.2f}x (goal >= 0.9x)")
print(f"measuring share of deleteItems: {t_measure / t_items:.0%}")
path_files = int(runs["paths-raw"][0]["files"])
t_paths_raw = statistics.median(float(r["seconds"]) for r in runs["paths-raw"])
t_paths = statistics.median(float(i["seconds"]) for i in runs["paths-deleteItems"])
print(f"{path_files} separate paths, DeleteFileW each: {t_paths_raw:.2f} s")
print(f"{path_files} separate paths, deleteItems:      {t_paths:.2f} s")
print(f"deleteItems speed / DeleteFileW speed: {t_paths_raw / t_paths:.2f}x (goal >= 0.7x)")
PY
