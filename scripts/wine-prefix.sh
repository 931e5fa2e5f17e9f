#!/usr/bin/env bash
# Creates the isolated Wine prefix under WINE_ROOT once (headless, Windows 10, real profile
# folders) and starts a persistent wine server for it. Safe to run from parallel tests.
# Usage: scripts/wine-prefix.sh WINE_ROOT
set -euo pipefail
wine_root=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$wine_root"
wine_root=$(cd "$wine_root" && pwd)
source "$here/wine-env.sh"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

ready="$WINEPREFIX/.tidvale-ready"
start_server() {
  # A persistent server keeps Wine's helper processes from holding callers' pipes open.
  # Wine's processes must not inherit the lock's descriptor, or they would hold the lock.
  # wineserver exits with 2 when a server already runs for the prefix: its session is up, and
  # starting it again would cost every test process most of a second under this lock. A new
  # server gets its session (services, explorer) started here, with quiet standard streams.
  local status=0
  "$wineserver_bin" -p30 </dev/null >/dev/null 2>&1 9>&- || status=$?
  if [ "$status" -ne 2 ]; then
    "$wine64_bin" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
}

exec 9>"$wine_root/.lock"
flock 9
if [ ! -f "$ready" ]; then
  echo "setup: creating Wine prefix in $WINEPREFIX" >&2
  rm -rf "$WINEPREFIX"
  "$wine64_bin" wineboot -i </dev/null >/dev/null 2>&1 9>&-
  reg() { "$wine64_bin" reg add "$@" /f </dev/null >/dev/null 2>&1 9>&-; }
  reg 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null
  reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  "$wine64_bin" winecfg /v win10 </dev/null >/dev/null 2>&1 9>&-
  # The profile's shell folders are links into $HOME; make them real folders of the prefix.
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm -f "$link"; mkdir -p "$link"; fi
  done
  "$wineserver_bin" -k </dev/null >/dev/null 2>&1 9>&- || true
  "$wineserver_bin" -w </dev/null >/dev/null 2>&1 9>&- || true
  touch "$ready"
fi
# Drive T: is a plain folder of the build, for tests that need a drive of their own (a Recycle
# Bin's folders, which Wine never writes itself). Made before the server starts, as Wine reads
# its drives then.
mkdir -p "$wine_root/test-drive"
[ -L "$WINEPREFIX/dosdevices/t:" ] || ln -s "$wine_root/test-drive" "$WINEPREFIX/dosdevices/t:"
start_server
