#!/usr/bin/env bash
# Walk benchmark: "sizeOf" (measurePath through the Win32 seam), "analyzeDisk" and
# "scanLargeFiles" against a minimal raw FindFirstFileExW walk and against native `du -sb`, all on
# the same generated tree inside the isolated prefix, warm, in the same run. Prints files per
# second and the ratios.
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build), WALK_BENCH_REPETITIONS (default 5).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/bench-lib.sh"
repetitions=${WALK_BENCH_REPETITIONS:-5}

# The tree: 50 x 10 x 10 leaf folders of 20 files each (100,000 files, 5,550 folders). Files are
# sparse: a walk reads only their metadata.
ensure_tree bench-tree 50x10x10x20 python3 "$repo/bench/sparse_tree.py"
build_bench_targets walk_sizeof_bench walk_raw_bench walk_scans_bench

# Interleaved, so that load from elsewhere on the machine falls on all three alike. Each program
# warms up on the tree before its timed run.
du -sb "$tree" >/dev/null
raw_seconds=() sizeof_seconds=() du_seconds=() disk_seconds=() large_seconds=()
for ((i = 0; i < repetitions; i++)); do
  raw_line=$(run "$windows_dir/bench/walk_raw_bench.exe" "$windows_tree" 1)
  raw_seconds+=("$(seconds_of <<<"$raw_line")")
  sizeof_line=$(run "$windows_dir/bench/walk_sizeof_bench.exe" "$windows_tree" 1)
  sizeof_seconds+=("$(seconds_of <<<"$sizeof_line")")
  scans_lines=$(run "$windows_dir/bench/walk_scans_bench.exe" "$windows_tree" 1)
  disk_line=$(grep '^analyzeDisk' <<<"$scans_lines")
  large_line=$(grep '^scanLargeFiles' <<<"$scans_lines")
  disk_seconds+=("$(seconds_of <<<"$disk_line")")
  large_seconds+=("$(seconds_of <<<"$large_line")")
  start=$(date +%s%N)
  du -sb "$tree" >/dev/null
  du_seconds+=("$(seconds_since "$start")")
done
raw_line="${raw_line% seconds=*} seconds=$(join "${raw_seconds[@]}")"
sizeof_line="${sizeof_line% seconds=*} seconds=$(join "${sizeof_seconds[@]}")"
du_line="du seconds=$(join "${du_seconds[@]}")"
disk_line="${disk_line% seconds=*} seconds=$(join "${disk_seconds[@]}")"
large_line="${large_line% seconds=*} seconds=$(join "${large_seconds[@]}")"

python3 - "$raw_line" "$sizeof_line" "$du_line" "$disk_line" "$large_line" <<'PY'
import statistics, sys
def fields(line):
    name, *pairs = line.split()
    return name, dict(p.split("=", 1) for p in pairs)
raw, sizeof, du, disk, large = (fields(l)[1] for l in sys.argv[1:6])
files = int(raw["files"])
if int(sizeof["bytes"]) != int(raw["bytes"]):
    sys.exit(f"walk bench: sizeOf measured {sizeof['bytes']} bytes, the raw walk {raw['bytes']}")
if int(disk["size"]) != int(raw["bytes"]) or int(disk["files"]) != files:
    sys.exit(f"walk bench: analyzeDisk counted {disk['files']} files, {disk['size']} bytes")
if int(large["files"]) != files:
    sys.exit(f"walk bench: scanLargeFiles visited {large['files']} files, the raw walk {files}")
def median(entry):
    return statistics.median(float(s) for s in entry["seconds"].split(","))
t_raw, t_sizeof, t_du = median(raw), median(sizeof), median(du)
t_disk, t_large = median(disk), median(large)
print(f"tree: {files} files, {raw['folders']} folders, {raw['bytes']} bytes; median of "
      f"{len(raw['seconds'].split(','))} warm runs")
for name, t in (("raw FindFirstFileExW walk", t_raw), ("sizeOf", t_sizeof),
                ("analyzeDisk (depth 3)", t_disk), ("scanLargeFiles", t_large),
                ("du -sb (native)", t_du)):
    print(f"  {name:26s} {t:8.3f} s  {files / t:12,.0f} files/s")
print(f"  sizeOf / raw walk throughput: {t_raw / t_sizeof:.2f}  (goal: 0.80 or more)")
print(f"  analyzeDisk / raw walk throughput: {t_raw / t_disk:.2f}  (goal: 0.80 or more)")
print(f"  scanLargeFiles / raw walk throughput: {t_raw / t_large:.2f}  (goal: 0.80 or more)")
print(f"  sizeOf / du -sb throughput:   {t_du / t_sizeof:.2f}")
print(f"  raw walk / du -sb throughput: {t_du / t_raw:.2f}")
PY
