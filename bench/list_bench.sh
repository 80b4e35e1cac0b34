#!/usr/bin/env bash
# Native /list of a warm realistic tree (make_tree --realistic, 10^6 entries by default)
# against `find TREE > file` and a bare getdents64 walk, and its /format csv against its
# text; with --wine, Tarnwick.com's /format csv against its text under Wine as well. Quiet
# and, with --load N, also while N processes spin (as tools/test-under-load keeps every
# core busy).
#   bench/list_bench.sh [--load N] [--rounds R] [--wine] [ENTRIES]
# The tree takes minutes to make, so it is kept for the next run, in
# ${TARNWICK_LIST_TREE:-${TMPDIR:-/tmp}/tarnwick-list-bench}/ENTRIES.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/tools/lib.sh"
cd "$root"
options=()
entries=1000000
wine=0
while [ $# -gt 0 ]; do
  case "$1" in
    --load | --rounds) options+=("$1" "$2"); shift 2 ;;
    --wine) wine=1; shift ;;
    *) entries=$1; shift ;;
  esac
done
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j"$(nproc)" --target tarnwick make_tree bare_walk list_bench
made=build/native-release/bench
trees=${TARNWICK_LIST_TREE:-${TMPDIR:-/tmp}/tarnwick-list-bench}
tree=$trees/$entries
if [ ! -f "$tree.made" ]; then
  rm -rf "$tree"
  mkdir -p "$trees"
  echo "making a realistic tree of $entries entries in $tree (kept for the next run)"
  "$made/make_tree" --realistic "$tree" "$entries" 2>"$tree.made.part" >/dev/null
  mv "$tree.made.part" "$tree.made"
fi
echo "tree: $(cat "$tree.made")"
echo "cores: $(nproc)"
if [ "$wine" -eq 1 ]; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j"$(nproc)" --target TarnwickConsole
  options+=(--wine "$root/build/windows/Tarnwick.com")
  # bench/run has started them already.
  if [ -z "${WINEPREFIX:-}" ]; then
    start_display
    start_wine
  fi
fi
"$made/list_bench" "$tree" "${options[@]}"
