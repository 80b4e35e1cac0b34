#!/usr/bin/env bash
# Runs a Windows program of ours under Wine at a display scale of DPI dots per inch:
#   wine-at-dpi.sh DPI PROGRAM [ARGUMENT...]
# Wine 8 reads the scale from HKCU\Control Panel\Desktop\LogPixels when a process starts,
# so the program runs in a throw-away prefix: a copy of the project's registry with that
# value set, and the project's drive C. The project's prefix, and the tests running in it
# at the same time, keep their scale. TARNWICK_TEST_DPI tells the program the scale.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dpi=$1
shift
shared="${WINEPREFIX:-$root/build/wineprefix}"
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-dpi$dpi.XXXXXX")
export WINEPREFIX="$prefix"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
mkdir "$prefix/dosdevices"
cp -p "$shared"/{system.reg,user.reg,userdef.reg,.update-timestamp} "$prefix/"
ln -s "$shared/drive_c" "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"
"$root/tools/wine-run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
  /d "$dpi" /f >/dev/null 2>&1
TARNWICK_TEST_DPI=$dpi "$root/tools/wine-run" "$@"
