#!/usr/bin/env bash
# The run command: installs what is missing, creates the isolated Wine prefix, builds the Windows
# build when needed, then runs Tidvale.exe through the client:
#   scripts/run.sh                       the system summary (Windows, processor, memory, disks),
#                                        device id, computer name, home folder, then a junk scan
#                                        with live progress and its summary
#   scripts/run.sh METHOD [JSON-ARGS]    calls one method and prints the reply as JSON
#                                        (options of tools/tidvale-call, e.g. --summary, pass on)
# Environment: TIDVALE_BUILD_ROOT (default <repo>/build).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/build-lib.sh"

"$repo/scripts/setup.sh" "$build_root"

# The build is incremental, so an up-to-date tree costs only ninja's check. Its output goes to a
# log so that standard output carries only the client's answer.
log="$build_root/run-build.log"
echo "run: building the Windows program (log: $log)" >&2
if ! build_preset windows >"$log" 2>&1; then
  tail -40 "$log" >&2
  echo "run: the Windows build failed" >&2
  exit 1
fi

if (($# == 0)); then
  exec /usr/bin/python3 "$repo/tools/tidvale-call" --overview
fi
exec /usr/bin/python3 "$repo/tools/tidvale-call" "$@"
