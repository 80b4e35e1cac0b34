#!/usr/bin/env bash
# Brings a fresh Debian machine to the point where Tarnwick builds and its tests run:
# packages, the zh_CN.UTF-8 locale (ANSI code page 936 under Wine) and a Wine prefix of our own.
# Safe to run again: every step checks first.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(cmake make g++ googletest g++-mingw-w64-x86-64-posix mingw-w64-tools
          wine wine64 xvfb xauth locales fonts-wqy-microhei x11-apps imagemagick xdotool procps
          clang libclang-rt-dev  # clang and its libFuzzer, for the fuzz targets
          python3-markdown)  # the user guide's page in the release
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "setup: generating zh_CN.UTF-8"
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
    echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# The prefix lives in the build tree's parent so that every checkout has its own.
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=zh_CN.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "setup: creating the Wine prefix in $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  WINEARCH=win64 wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi
