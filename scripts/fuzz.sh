#!/usr/bin/env bash
# Bounded libFuzzer runs (built by the native preset): the codec's value, method-call and
# response decoding, the headless engine's input lines, and the Recycle Bin index parser.
# Usage: scripts/fuzz.sh SECONDS    Each target runs SECONDS; fails on any crash, leak, timeout
# or sanitizer finding. Findings are written to <build root>/fuzz-<target>/.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build_root=${TIDVALE_BUILD_ROOT:-$repo/build}
seconds=${1:-20}
run_fuzzer() {
  local target=$1 seeds=$2
  local fuzzer="$build_root/native/$target" name
  name=$(basename "$target")
  [ -x "$fuzzer" ] || { echo "fuzz: $fuzzer is not built" >&2; return 1; }
  local work="$build_root/fuzz-$name"
  mkdir -p "$work/corpus"
  if [ -d "$seeds" ]; then cp -n "$seeds"/* "$work/corpus"/ 2>/dev/null || true; fi
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -malloc_limit_mb=256 \
      -artifact_prefix="$work/" -print_final_stats=1 "$work/corpus" 2>"$work/log"; then
    tail -50 "$work/log" >&2
    return 1
  fi
  echo "fuzz: $name: $(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$work/log" | grep -Eo '[0-9]+$') runs, no findings" >&2
}

run_fuzzer channels/codec_fuzzer "$repo/channels/fuzz_seeds"
run_fuzzer engine/engine_protocol_fuzzer "$repo/engine/fuzz_seeds"
run_fuzzer removal/recycle_index_fuzzer "$repo/removal/fuzz_seeds"
