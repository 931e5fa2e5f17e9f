#!/usr/bin/env bash
# The test command: installs what is missing, builds the Windows and native builds, and runs
# every test layer: Windows tests under Wine, native tests under AddressSanitizer +
# UndefinedBehaviorSanitizer and under ThreadSanitizer, a bounded fuzz run, and the end-to-end
# tests. Exits non-zero when anything fails.
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build), TIDVALE_FUZZ_SECONDS (default 20).
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/build-lib.sh"
fuzz_seconds=${TIDVALE_FUZZ_SECONDS:-20}

"$repo/scripts/setup.sh" "$build_root" || exit 1

failed=()
step() {
  local name=$1
  shift
  echo "==== $name" >&2
  if ! "$@"; then
    echo "==== $name: FAILED" >&2
    failed+=("$name")
  fi
}

# Test runs that failed without printing anything and were run again (scripts/wine-run).
silent_retries_log="$build_root/wine/silent-retries.log"
rm -f "$silent_retries_log"

step "windows build" build_preset windows
step "windows tests (Wine)" ctest --test-dir "$build_root/windows" --output-on-failure -j2 --timeout 300
step "native build (asan+ubsan)" build_preset native
step "native tests (asan+ubsan)" ctest --test-dir "$build_root/native" --output-on-failure -j2
step "native build (tsan)" build_preset native-tsan
step "native tests (tsan)" ctest --test-dir "$build_root/native-tsan" --output-on-failure -j2
step "fuzz decoding (${fuzz_seconds}s)" "$repo/scripts/fuzz.sh" "$fuzz_seconds"
step "end-to-end tests" /usr/bin/python3 -m pytest -q -p no:cacheprovider "$repo/tests/e2e"

silent_retries=0
[ -f "$silent_retries_log" ] && silent_retries=$(wc -l <"$silent_retries_log")
if ((silent_retries)); then
  echo "NOTE: $silent_retries Windows test run(s) printed nothing and were run again:" >&2
  cat "$silent_retries_log" >&2
fi

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "all test layers passed" >&2
