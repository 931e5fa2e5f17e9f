#!/usr/bin/env bash
# libFuzzer runs (targets built by the native preset): the codec's value, method-call and
# response decoding, the headless engine's input lines, the Recycle Bin index parser, the
# icon-file check and the NTFS master-file-table reader. One target at a time.
# Usage: scripts/fuzz.sh [SECONDS]       each target runs SECONDS (default 20): the test command
#        scripts/fuzz.sh --long MINUTES  each target runs MINUTES, by hand
# Fails on any crash, leak, timeout or sanitizer finding. Each target keeps its corpus, log and
# findings in <build root>/fuzz-<target>/; a run reports its inputs and inputs per second.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build_root=${TIDVALE_BUILD_ROOT:-$repo/build}
if [ "${1:-}" = --long ]; then
  [[ "${2:-}" =~ ^[0-9]+$ ]] || { echo "usage: $0 --long MINUTES" >&2; exit 2; }
  seconds=$(($2 * 60))
else
  seconds=${1:-20}
fi

# AddressSanitizer settings for throughput; neither hides a fault:
# - a 16 MB quarantine (default 256 MB) still holds thousands of freed inputs' blocks, far more
#   than one input frees, and keeps the heap warm instead of touching fresh pages;
# - allocation and free stacks of 8 frames (default 30): a use-after-free is still caught and the
#   input saved; rerun it with the default to see deeper stacks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=8}

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
  local runs
  runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$work/log" | grep -Eo '[0-9]+$')
  echo "fuzz: $name: $runs inputs in ${seconds}s ($((runs / seconds))/s), no findings" >&2
}

run_fuzzer channels/codec_fuzzer "$repo/channels/fuzz_seeds"
run_fuzzer engine/engine_protocol_fuzzer "$repo/engine/fuzz_seeds"
run_fuzzer removal/recycle_index_fuzzer "$repo/removal/fuzz_seeds"
run_fuzzer software/icon_file_fuzzer "$repo/software/fuzz_seeds"
run_fuzzer fs/mft/mft_fuzzer "$repo/fs/mft/fuzz_seeds"
