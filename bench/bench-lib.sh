# Sourced by the benchmark scripts (with $repo set): the build root and the isolated prefix, the
# benchmark programs, the generated trees they run on, and small timing helpers.
source "$repo/scripts/build-lib.sh"
"$repo/scripts/wine-prefix.sh" "$build_root/wine" </dev/null >/dev/null 2>&1
windows_dir=$build_root/windows
drive_c=$build_root/wine/prefix/drive_c

# build_bench_targets TARGET... configures the Windows build (once) and builds only TARGETs.
build_bench_targets() {
  build_preset windows --target "$@" >/dev/null
}

# ensure_tree NAME LAYOUT COMMAND...: sets $tree (the host path of C:\NAME in the prefix) and
# $windows_tree (C:\NAME), and runs COMMAND with the tree's path as its last argument unless a
# tree of that LAYOUT is already there. The layout marker lives outside the tree, so that it is
# never counted.
ensure_tree() {
  local name=$1 layout=$2
  shift 2
  tree=$drive_c/$name
  windows_tree="C:\\$name"
  local marker=$build_root/wine/$name.layout
  if [ "$(cat "$marker" 2>/dev/null)" != "$layout" ] || [ ! -d "$tree" ]; then
    echo "bench: generating $tree" >&2
    rm -rf "$tree"
    "$@" "$tree"
    echo "$layout" >"$marker"
  fi
}

run() { "$repo/scripts/wine-run" --root "$build_root/wine" "$@"; }
seconds_of() { sed -n 's/.*seconds=\([0-9.,]*\).*/\1/p'; }
join() {
  local IFS=,
  echo "$*"
}
# Seconds since START, a `date +%s%N` reading.
seconds_since() { python3 -c "print(($(date +%s%N) - $1) / 1e9)"; }
