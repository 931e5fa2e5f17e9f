#!/usr/bin/env bash
# The run command: installs what is missing, creates the isolated Wine prefix, builds the program
# (Tidvale.exe and the engine library, target tidvale_app: no tests, no benchmarks), then runs it
# through the client:
#   scripts/run.sh                       the tour: plants the sample profile in the build's prefix,
#                                        then the system overview, junk, largest files, duplicate
#                                        groups, disk usage (with a treemap), applications and
#                                        their leftovers, startup items, each timed with live
#                                        progress; then cleans the junk found in the profile
#   scripts/run.sh --no-sample           the seven steps on the prefix as it is; removes nothing
#   scripts/run.sh METHOD [JSON-ARGS]    calls one method and prints the reply as JSON
#                                        (options of tools/tidvale-call, e.g. --summary, pass on)
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/build-lib.sh"

"$repo/scripts/setup.sh" "$build_root"

# The build is incremental, so an up-to-date tree costs only ninja's check. Its output goes to a
# log so that standard output carries only the client's answer; on a terminal, ninja's step
# counter is shown on one line of standard error.
log="$build_root/run-build.log"
echo "run: building the program (log: $log)" >&2
: >"$log"
build_status=0
build_preset windows --target tidvale_app 2>&1 | while IFS= read -r line; do
  printf '%s\n' "$line" >>"$log"
  if [ -t 2 ] && [[ $line =~ ^\[([0-9]+/[0-9]+)\] ]]; then
    printf '\rrun: building, step %s ' "${BASH_REMATCH[1]}" >&2
  fi
done || build_status=$?
[ -t 2 ] && printf '\r%40s\r' '' >&2
if ((build_status)); then
  tail -40 "$log" >&2
  echo "run: the Windows build failed" >&2
  exit 1
fi

# -B: the client writes no byte-code caches into the repository; the run changes nothing outside
# the build folder.
client=(/usr/bin/python3 -B "$repo/tools/tidvale-call")
if (($# == 0)); then
  exec "${client[@]}" --tour
fi
if [ "$1" = --no-sample ] && (($# == 1)); then
  exec "${client[@]}" --tour --no-sample
fi
exec "${client[@]}" "$@"
