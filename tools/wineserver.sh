# Sourced by ./run and ./test after tools/display.sh: one Wine server, with Wine's own
# services, for the whole script. They are started here, away from CTest's output pipes,
# which they would otherwise hold open; they are stopped when the script ends.
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all
wineserver -p </dev/null >/dev/null 2>&1
tools/wine-run wineboot </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k 2>/dev/null || true; [ -n "${tarnwick_xvfb:-}" ] && kill "$tarnwick_xvfb" 2>/dev/null; true' EXIT
