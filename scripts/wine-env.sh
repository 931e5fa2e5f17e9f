# Sourced by the Wine scripts: the environment of the isolated prefix under $wine_root.
# Nothing here may point at the real user's home, trash or settings.
export WINEPREFIX="$wine_root/prefix"
export HOME="$wine_root/home"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$wine_root/run"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
wine64_bin=/usr/lib/wine/wine64
wineserver_bin=/usr/lib/wine/wineserver64
[ -x "$wineserver_bin" ] || wineserver_bin=/usr/lib/wine/wineserver
