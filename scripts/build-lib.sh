# Sourced: build_preset PRESET configures (once) and builds $build_root/PRESET.
build_preset() {
  local preset=$1 dir=$build_root/$1
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$repo" --preset "$preset" -B "$dir" -DTIDVALE_WINE_ROOT="$build_root/wine" >/dev/null || return 1
  fi
  cmake --build "$dir" -- -j"$(nproc)"
}
