#!/usr/bin/env bash
# Table benchmark: "analyzeDisk" of an NTFS volume's root read from its master file table, against
# the raw FindFirstFileExW walk of an identical tree on the native file system, warm, interleaved
# in the same run. Prints the ratio, files per second and the peak working set per file.
#
# The volume: an image of 1,000,000 files (bench/mft_tree.py) made once with mkntfs and filled
# through an ntfs-3g mount, kept in the build folder and made again only when its stamp (the
# generator and the image's parameters) changes. For the runs it is mounted read-only and named
# by drive N: both ways in the benchmarks' prefix: dosdevices/n: is the mount (the path the scan
# is given), dosdevices/n:: the image (which the table engine reads raw as \\.\N:). Needs root and
# /dev/fuse; the volume is unmounted and the drive removed on every way out.
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build), MFT_BENCH_REPETITIONS (default 5).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/bench-lib.sh"
repetitions=${MFT_BENCH_REPETITIONS:-5}
layout=50x10x10x10x20

image_bytes=$((8 << 30))
work=$build_root/mft-bench
image=$work/volume.img
mount=$work/mount
stamp=$work/volume.stamp
dosdevices=$build_root/wine/prefix/dosdevices
drive=n:

fail() {
  echo "mft bench: $*" >&2
  exit 1
}
[ "$(id -u)" = 0 ] || fail "needs root, to mount the NTFS image through FUSE"
[ -e /dev/fuse ] || fail "/dev/fuse is missing: FUSE is needed to mount the NTFS image (ntfs-3g)"
for tool in mkntfs ntfs-3g; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/setup.sh (ntfs-3g, fuse3)"
done

unmount() {
  if mountpoint -q "$mount"; then umount "$mount" || umount -l "$mount"; fi
}
# Stops the prefix's Wine server (the next program starts it again, reading the drives anew).
restart_wine() (
  wine_root=$build_root/wine
  source "$repo/scripts/wine-env.sh"
  "$wineserver_bin" -k 2>/dev/null || true
)
cleanup() {
  unmount
  if [ -L "$dosdevices/$drive" ] || [ -L "$dosdevices/$drive:" ]; then
    rm -f "$dosdevices/$drive" "$dosdevices/$drive:"
    restart_wine
  fi
}
trap cleanup EXIT
mkdir -p "$mount"
unmount # left over by a run that was killed

# The volume and the native tree, each made again only when its stamp (the layout and the
# generator) changes.
tree_stamp="$layout $(sha256sum "$repo/bench/mft_tree.py" | cut -d' ' -f1)"
image_stamp="$tree_stamp $image_bytes"
if [ ! -f "$image" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$image_stamp" ]; then
  echo "bench: generating $image (several minutes)" >&2
  rm -f "$image" "$stamp"
  truncate -s "$image_bytes" "$image"
  mkntfs -F -Q -q -L mftbench "$image" 2>/dev/null
  ntfs-3g "$image" "$mount"
  python3 "$repo/bench/mft_tree.py" "$mount"
  unmount
  echo "$image_stamp" >"$stamp"
fi
ensure_tree mft-tree "$tree_stamp" python3 "$repo/bench/mft_tree.py"
build_bench_targets walk_raw_bench mft_scan_bench

ntfs-3g -o ro "$image" "$mount"
ln -sfn "$mount" "$dosdevices/$drive"
ln -sfn "$image" "$dosdevices/$drive:"
restart_wine # Wine reads its drives when its server starts

# Interleaved, so that load from elsewhere on the machine falls on both alike. Each program warms
# up before its timed run.
raw_seconds=() mft_seconds=() index_seconds=() peaks=()
for ((i = 0; i < repetitions; i++)); do
  raw_line=$(run "$windows_dir/bench/walk_raw_bench.exe" "$windows_tree" 1)
  raw_seconds+=("$(seconds_of <<<"$raw_line")")
  mft_line=$(run "$windows_dir/bench/mft_scan_bench.exe" 'N:\' 1 2>"$work/scan.err")
  # The engine says on standard error when it falls back to the walk: such a run does not count.
  cat "$work/scan.err" >&2
  if grep -q 'by walking' "$work/scan.err"; then fail "the table engine was not used"; fi
  mft_seconds+=("$(seconds_of <<<"$mft_line")")
  index_seconds+=("$(sed -n 's/.*index_seconds=\([0-9.]*\).*/\1/p' <<<"$mft_line")")
  peaks+=("$(sed -n 's/.*peak_bytes=\([0-9]*\).*/\1/p' <<<"$mft_line")")
done

python3 - "$raw_line" "$mft_line" "$(join "${raw_seconds[@]}")" "$(join "${mft_seconds[@]}")" \
  "$(join "${index_seconds[@]}")" "$(join "${peaks[@]}")" <<'PY'
import statistics, sys
def fields(line):
    name, *pairs = line.split()
    return dict(p.split("=", 1) for p in pairs)
raw, mft = fields(sys.argv[1]), fields(sys.argv[2])
def median(text, kind=float):
    return statistics.median(kind(s) for s in text.split(","))
t_raw, t_mft, t_index = median(sys.argv[3]), median(sys.argv[4]), median(sys.argv[5])
peak = median(sys.argv[6], int)
files = int(raw["files"])
if int(mft["files"]) != files or int(mft["size"]) != int(raw["bytes"]):
    sys.exit(f"mft bench: the table engine counted {mft['files']} files, {mft['size']} bytes; "
             f"the raw walk {files} files, {raw['bytes']} bytes")
runs = len(sys.argv[3].split(","))
print(f"tree: {files} files, {raw['folders']} folders, {raw['bytes']} bytes; median of {runs} "
      f"warm runs")
for name, t in (("raw FindFirstFileExW walk", t_raw), ("analyzeDisk from the table", t_mft),
                ("  of which the index", t_index)):
    print(f"  {name:27s} {t:8.3f} s  {files / t:12,.0f} files/s")
print(f"  peak working set of a table scan: {peak / 1e6:.1f} MB, {peak / files:.0f} bytes per "
      f"file (goal: 200 or fewer); the index alone {int(mft['index_bytes']) / files:.0f}")
print(f"  analyzeDisk from the table / raw walk throughput: {t_raw / t_mft:.1f}  "
      f"(goal: 10 or more, stretch 30)")
PY
