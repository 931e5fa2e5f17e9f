# Sourced by the commands (with $repo set): resolves the build root, exported for the tools and
# tests, and offers build_preset.
build_root=${TIDVALE_BUILD_ROOT:-$repo/build}
mkdir -p "$build_root"
build_root=$(cd "$build_root" && pwd)
export TIDVALE_BUILD_ROOT=$build_root

# build_preset PRESET [BUILD OPTIONS...] configures (once) and builds $build_root/PRESET; the
# options go to `cmake --build` (for example --target NAME...).
build_preset() {
  local preset=$1 dir=$build_root/$1 options=()
  shift
  [ "$preset" = windows ] && options=(-DTIDVALE_WINE_ROOT="$build_root/wine")
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$repo" --preset "$preset" -B "$dir" "${options[@]}" >/dev/null || return 1
  fi
  cmake --build "$dir" "$@" -- -j"$(nproc)"
}
