#!/usr/bin/env bash
# Duplicates benchmark on a generated tree inside the isolated prefix (20,000 files, about 1 GB:
# 2,000 duplicate groups, near-duplicates that share their first 64 KiB with a group, hard links,
# and small unique files whose sizes often collide), warm, interleaved, in the same run:
#   (a) "scanDuplicates" (the operation the program runs, its hashing pool at one worker per
#       processor; also shown with one worker),
#   (b) the limit: a raw walk plus reading and SHA-256-hashing only the bytes that must be read,
#       one thread, under the same Wine,
#   (c) native `jdupes -r` on the same tree (installed here when missing).
# Prints seconds, the time ratios (a)/(b) and (a)/(c), and (a)'s peak working set.
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build), DUPES_BENCH_REPETITIONS (default 3).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/bench-lib.sh"
repetitions=${DUPES_BENCH_REPETITIONS:-3}

if ! command -v jdupes >/dev/null; then
  echo "dupes bench: installing jdupes" >&2
  sudo_cmd=()
  [ "$(id -u)" = 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq jdupes >/dev/null
fi

ensure_tree bench-dupes dupes-v1-20000 python3 - <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(7)
FOLDERS, GROUPS, NEAR, LINKS, FILES = 100, 2000, 500, 500, 20000
folders = [os.path.join(root, f"d{i:02d}", f"e{i % 7}") for i in range(FOLDERS)]
for f in folders:
    os.makedirs(f)
count = 0
def write(name, data):
    global count
    with open(os.path.join(rng.choice(folders), name), "wb") as f:
        f.write(data)
    count += 1
copies_of = []
for g in range(GROUPS):
    data = rng.randbytes(rng.randint(20_000, 300_000))
    for c in range(3 if g % 3 == 0 else 2):
        write(f"g{g:04d}_c{c}.bin", data)
    copies_of.append(data)
near = [d for d in copies_of if len(d) > 65536][:NEAR]
for n, data in enumerate(near):  # same size and first 64 KiB, another tail
    write(f"near{n:04d}.bin", data[:65536] + rng.randbytes(len(data) - 65536))
for k in range(LINKS):  # second names of group files: never copies of themselves
    g = rng.randrange(GROUPS)
    source = None
    for f in folders:
        candidate = os.path.join(f, f"g{g:04d}_c0.bin")
        if os.path.exists(candidate):
            source = candidate
            break
    os.link(source, os.path.join(rng.choice(folders), f"link{k:04d}.bin"))
    count += 1
u = 0
while count < FILES:
    write(f"unique{u:05d}.bin", rng.randbytes(rng.randint(1000, 20000)))
    u += 1
PY
build_bench_targets dupes_scan_bench dupes_limit_bench

jdupes -r -q -m "$tree" >/dev/null  # warm-up
pool_seconds=() one_seconds=() limit_seconds=() jdupes_seconds=()
for ((i = 0; i < repetitions; i++)); do
  pool_line=$(run "$windows_dir/bench/dupes_scan_bench.exe" "$windows_tree" 1 0)
  pool_seconds+=("$(seconds_of <<<"$pool_line")")
  one_line=$(run "$windows_dir/bench/dupes_scan_bench.exe" "$windows_tree" 1 1)
  one_seconds+=("$(seconds_of <<<"$one_line")")
  limit_line=$(run "$windows_dir/bench/dupes_limit_bench.exe" "$windows_tree" 1)
  limit_seconds+=("$(seconds_of <<<"$limit_line")")
  start=$(date +%s%N)
  jdupes_summary=$(jdupes -r -q -m "$tree")
  jdupes_seconds+=("$(seconds_since "$start")")
done

python3 - "$pool_line" "$one_line" "$limit_line" "$jdupes_summary" "$(join "${pool_seconds[@]}")" \
  "$(join "${one_seconds[@]}")" "$(join "${limit_seconds[@]}")" "$(join "${jdupes_seconds[@]}")" \
  "$(nproc)" <<'PY'
import re, statistics, sys
def fields(line):
    return dict(p.split("=", 1) for p in line.split()[1:])
pool, one, limit = (fields(l) for l in sys.argv[1:4])
jdupes = sys.argv[4]
t_pool, t_one, t_limit, t_jdupes = (statistics.median(float(s) for s in arg.split(","))
                                    for arg in sys.argv[5:9])
cores = sys.argv[9]
if (pool["groups"], pool["wasted"]) != (limit["groups"], limit["wasted"]):
    sys.exit(f"dupes bench: scanDuplicates found {pool['groups']} groups / {pool['wasted']} bytes, "
             f"the limit {limit['groups']} / {limit['wasted']}")
if (one["groups"], one["wasted"]) != (pool["groups"], pool["wasted"]):
    sys.exit("dupes bench: the reply depends on the number of workers")
sets = re.search(r"in (\d+) sets", jdupes)
print(f"tree: {pool['files']} files; {pool['groups']} groups wasting {int(pool['wasted']):,} bytes "
      f"(jdupes: {sets.group(1) if sets else '?'} sets); limit reads {int(limit['bytesRead']):,} bytes; "
      f"median of {len(sys.argv[5].split(','))} warm runs, {cores} cores")
for name, t in (("(a) scanDuplicates, pool", t_pool), ("    scanDuplicates, 1 worker", t_one),
                ("(b) limit, 1 thread", t_limit), ("(c) jdupes -r (native)", t_jdupes)):
    print(f"  {name:30s} {t:8.3f} s")
print(f"  (a)/(b) time: {t_pool / t_limit:.2f}  (goal: 1.00 or less)")
print(f"  (a)/(c) time: {t_pool / t_jdupes:.2f}")
print(f"  (a) peak working set: {int(pool['peakWorkingSet']) / 1048576:.1f} MiB")
PY
