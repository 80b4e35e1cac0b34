# shellcheck shell=bash
# Sourced by the scripts (source "$root/tools/lib.sh"). Whatever a script starts or makes
# is undone when it ends, normally, on failure or on Ctrl-C, through one clean-up list:
#   on_exit CMD [ARG...]    runs CMD when the script ends; the last registered runs first
#   stop PID...             ends our own background processes and waits for them
#   make_temp_dir VAR NAME  a fresh directory, removed at the end, its path put in VAR
#   start_display           starts a virtual display (Xvfb) when there is no DISPLAY
#   start_wine              the project's Wine server and services, for the whole script
#   start_load N            N busy-loop processes, as on a loaded machine, started paused;
#   resume_load, pause_load   they spin only between these two, and end with the script
# Call them from the script's own shell, not inside $(...): a subshell's list is lost.

[ -z "${tarnwick_lib_root:-}" ] || return 0
tarnwick_lib_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tarnwick_exit_list=()

on_exit() {
  local cmd
  printf -v cmd '%q ' "$@"
  tarnwick_exit_list+=("$cmd")
}

# A failing step must not keep the others from running, nor change the script's status.
# The list is emptied, so that it runs once even if the shell gets here twice.
tarnwick_clean_up() {
  local i
  set +e
  trap '' INT TERM HUP
  for ((i = ${#tarnwick_exit_list[@]} - 1; i >= 0; i--)); do
    eval "${tarnwick_exit_list[i]}"
  done
  tarnwick_exit_list=()
}
# On a signal the script ends by that signal once clean, so that a calling shell sees the
# Ctrl-C and stops too, rather than going on after an ordinary failure.
tarnwick_end_by() {
  tarnwick_clean_up
  trap - "$1" EXIT
  kill -s "$1" "$$"
  exit $((128 + $(kill -l "$1")))
}
trap tarnwick_clean_up EXIT
trap 'tarnwick_end_by INT' INT
trap 'tarnwick_end_by TERM' TERM
trap 'tarnwick_end_by HUP' HUP

stop() {
  kill "$@" 2>/dev/null
  wait "$@" 2>/dev/null
  return 0
}

# Paused (SIGSTOP) rather than ended between loaded stretches, so that the clean-up list
# only ever names processes of ours that are still there. A paused process takes an
# ordinary signal only once continued.
tarnwick_load=()
start_load() {
  local i
  for ((i = 0; i < $1; i++)); do
    tarnwick_start_spinning
    tarnwick_load+=($!)
  done
}
# A group of processes left without its parent shell gets a hang-up to each member once
# one is paused; the loops ignore it.
tarnwick_start_spinning() {
  (
    trap '' HUP
    while :; do :; done
  ) &
  kill -STOP $!
  on_exit end_load $!
}
# A loop ended from outside (another script's clean-up) is replaced: the shell's own job
# list tells which are still ours.
resume_load() {
  local i live
  live=" $(jobs -p | tr '\n' ' ') "
  for i in "${!tarnwick_load[@]}"; do
    [[ $live == *" ${tarnwick_load[i]} "* ]] && continue
    echo "resume_load: busy loop ${tarnwick_load[i]} had ended; starting another" >&2
    tarnwick_start_spinning
    tarnwick_load[i]=$!
  done
  [ ${#tarnwick_load[@]} -eq 0 ] || kill -CONT "${tarnwick_load[@]}"
}
pause_load() {
  [ ${#tarnwick_load[@]} -eq 0 ] || kill -STOP "${tarnwick_load[@]}" 2>/dev/null || true
}
# Only while still our job: the number of one that ended may be another process's by now.
end_load() {
  jobs -p | grep -qx "$1" || return 0
  kill -CONT "$1" 2>/dev/null
  stop "$1"
}

# No local variable here: it would hide the caller's of the same name from printf -v.
make_temp_dir() {
  printf -v "$1" '%s' "$(mktemp -d "${TMPDIR:-/tmp}/$2.XXXXXX")"
  on_exit rm -rf "${!1}"
}

# Xvfb picks a free display number itself and writes it once it accepts clients, so two
# scripts starting at once never take the same one, and nothing is polled.
start_display() {
  [ -z "${DISPLAY:-}" ] || return 0
  local dir number
  make_temp_dir dir tarnwick-xvfb
  mkfifo "$dir/ready"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/ready" >/dev/null 2>&1 &
  on_exit stop $!
  if ! read -r number <"$dir/ready"; then
    echo "start_display: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
}

# The server and Wine's services are started here, away from CTest's output pipes, which
# they would otherwise hold open (CTest would then wait for them after the last test).
start_wine() {
  export WINEPREFIX="$tarnwick_lib_root/build/wineprefix" WINEDEBUG=-all
  if ! wineserver -p </dev/null >/dev/null 2>&1; then
    echo "start_wine: a Wine server already runs in $WINEPREFIX (another script of ours?);" \
      "wait for it, or end it with: WINEPREFIX=$WINEPREFIX wineserver -k" >&2
    return 1
  fi
  on_exit stop_wine "$WINEPREFIX"
  "$tarnwick_lib_root/tools/wine-run" wineboot </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
  WINEPREFIX=$1 wineserver -k 2>/dev/null
  WINEPREFIX=$1 wineserver -w 2>/dev/null
  return 0
}
