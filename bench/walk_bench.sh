#!/usr/bin/env bash
# Walk benchmark: "sizeOf" (measurePath through the Win32 seam), "analyzeDisk" and
# "scanLargeFiles", each at one walk thread and at the default (one per processor), against a
# minimal single-threaded raw FindFirstFileExW walk of the same tree in the same run, warm, on:
#   - the 100,000-file tree (5,550 folders), where folders can be listed at once (native `du -sb`
#     is timed on it too);
#   - a chain of 500 folders holding 200 files each, where they cannot: more threads must not
#     cost anything there (2,000 folders deep, Wine 8's server stalls the raw walk itself);
#   - one folder of 100,000 files, for the peak working set of a walk that cannot spread.
# Prints the median of the runs, the ratios, the peak working sets and the load average.
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build), WALK_BENCH_REPETITIONS (default 5).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/bench-lib.sh"
repetitions=${WALK_BENCH_REPETITIONS:-5}

ensure_tree bench-tree 50x10x10x20 python3 "$repo/bench/sparse_tree.py"
wide_tree=$windows_tree wide_host=$tree
ensure_tree bench-chain chain500x200 python3 "$repo/bench/walk_trees.py" chain
chain_tree=$windows_tree
ensure_tree bench-flat flat100000 python3 "$repo/bench/walk_trees.py" flat
flat_tree=$windows_tree
build_bench_targets walk_sizeof_bench walk_raw_bench walk_scans_bench

results=$(mktemp)
trap 'rm -f "$results"' EXIT
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# measure TREE_NAME WINDOWS_TREE: interleaved, so that load from elsewhere on the machine falls
# on every program alike. Each program warms up on the tree before its timed run. Lines go to
# $results as "TREE LABEL FIGURES...".
measure() {
  local name=$1 path=$2 threads line
  for ((i = 0; i < repetitions; i++)); do
    echo "$name $(run "$windows_dir/bench/walk_raw_bench.exe" "$path" 1)" >>"$results"
    for threads in 1 0; do
      line=$(run "$windows_dir/bench/walk_sizeof_bench.exe" "$path" 1 "$threads")
      echo "$name ${line/#sizeOf/sizeOf@$threads}" >>"$results"
      [ "$name" = flat ] && continue
      run "$windows_dir/bench/walk_scans_bench.exe" "$path" 1 "$threads" |
        sed "s/^\([a-zA-Z]*\) /$name \1@$threads /" >>"$results"
    done
    if [ "$name" = wide ]; then
      start=$(date +%s%N)
      du -sb "$wide_host" >/dev/null
      echo "wide du seconds=$(seconds_since "$start")" >>"$results"
    fi
  done
}

du -sb "$wide_host" >/dev/null
measure wide "$wide_tree"
measure chain "$chain_tree"
measure flat "$flat_tree"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 - "$results" "$load_before" "$load_after" "$(nproc)" <<'PY'
import collections, statistics, sys
runs = collections.defaultdict(list)  # (tree, label) -> [figures]
for line in open(sys.argv[1]):
    tree, label, *pairs = line.split()
    runs[(tree, label)].append(dict(p.split("=", 1) for p in pairs))

def median(tree, label, key="seconds"):
    return statistics.median(float(r[key]) for r in runs[(tree, label)])

def figure(tree, label, key):
    values = {r[key] for r in runs[(tree, label)]}
    if len(values) != 1:
        sys.exit(f"walk bench: {tree} {label} {key} changed between runs: {sorted(values)}")
    return int(values.pop())

threads = figure("wide", "sizeOf@0", "threads")
print(f"default walk threads: {threads}; median of {len(runs[('wide', 'raw')])} warm runs; "
      f"load average {sys.argv[2]} before, {sys.argv[3]} after, on {sys.argv[4]} processors")
failed = False
for tree, goal in (("wide", 1.5), ("chain", 0.95), ("flat", None)):
    files, folders, raw_bytes = (figure(tree, "raw", k) for k in ("files", "folders", "bytes"))
    t_raw = median(tree, "raw")
    print(f"{tree}: {files:,} files, {folders:,} folders; raw FindFirstFileExW walk "
          f"{t_raw:.3f} s ({files / t_raw:,.0f} files/s)")
    labels = ["sizeOf"] if tree == "flat" else ["sizeOf", "analyzeDisk", "scanLargeFiles"]
    for label in labels:
        for count in ("1", "0"):
            key = f"{label}@{count}"
            if label == "sizeOf" and figure(tree, key, "bytes") != raw_bytes:
                sys.exit(f"walk bench: {tree} {key} measured another byte count than the raw walk")
            if label != "sizeOf" and figure(tree, key, "files") != files:
                sys.exit(f"walk bench: {tree} {key} counted another number of files")
            ratio = t_raw / median(tree, key)
            shown = "1 thread" if count == "1" else f"{threads} threads"
            verdict = ""
            if goal is not None and count == "0":
                verdict = f"  (goal: {goal:.2f} or more)"
                failed |= ratio < goal
            print(f"  {label:15s} {shown:10s} {median(tree, key):8.3f} s  "
                  f"{ratio:5.2f} x the raw walk{verdict}")
    one, many = (median(tree, f"sizeOf@{c}", "peakKiB") for c in ("1", "0"))
    print(f"  sizeOf peak working set: {one / 1024:.1f} MiB at 1 thread, {many / 1024:.1f} MiB at "
          f"{threads} threads ({many / one:.2f} x)")
t_du = median("wide", "du")
print(f"wide: du -sb (native) {t_du:.3f} s; raw walk / du throughput {t_du / median('wide', 'raw'):.2f}")
if failed:
    print("walk bench: a goal was missed")
PY
