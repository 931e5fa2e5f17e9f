#!/usr/bin/env bash
# Bounded libFuzzer run of the value and method-call decoder (built by the native preset).
# Usage: scripts/fuzz.sh SECONDS    Fails on any crash, leak, timeout or sanitizer finding.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build_root=${TIDVALE_BUILD_ROOT:-$repo/build}
seconds=${1:-20}
fuzzer="$build_root/native/channels/codec_fuzzer"
[ -x "$fuzzer" ] || { echo "fuzz: $fuzzer is not built" >&2; exit 1; }
corpus="$build_root/fuzz-corpus"
mkdir -p "$corpus"
cp -n "$repo"/channels/fuzz_seeds/* "$corpus"/ 2>/dev/null || true
"$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -malloc_limit_mb=256 \
  -print_final_stats=1 "$corpus" 2>"$build_root/fuzz.log" || { tail -50 "$build_root/fuzz.log" >&2; exit 1; }
grep -E 'stat::number_of_executed_units' "$build_root/fuzz.log" >&2 || true
