#!/usr/bin/env bash
# Start-up of the window under Xvfb, beside a bare Qt window in the same run:
# the time from launch until the window is viewable, and the resident memory
# once it is idle. Runs alternate between the two programs; medians and their
# ratios are reported against the targets (start at most 1.25x, memory at
# most 1.2x the bare window). The same window with one line of text shows
# what any text costs, and a bare window with the same kinds of controls as
# the window (menus, popups, buttons, a status line, the bank panel's list
# view) what Qt's own widgets cost: the window must start within 1.10x of
# that one.
#
#   bench/startup-bench.sh [BUILD_DIR [RUNS]]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
runs=${2:-9}
app="$build_dir/ui/quarven-wave-dump"
bare="$build_dir/bench/bare_qt_window"
for program in "$app" "$bare"; do
  [ -x "$program" ] || { echo "missing $program: build the project first" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid= pid=
stop() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap stop EXIT

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# One launch of TITLE PROGRAM [ARG...]: prints "milliseconds-to-viewable resident-kB".
measure() {
  local title=$1 program=$2 start end rss
  shift 2
  start=$(now_ms)
  "$program" "$@" >/dev/null 2>&1 &
  pid=$!
  # Polled every 10 ms or so: both programs are measured the same way.
  until xwininfo -name "$title" 2>/dev/null | grep -q IsViewable; do
    kill -0 "$pid" 2>/dev/null || { echo "$program ended early" >&2; exit 1; }
    sleep 0.01
  done
  end=$(now_ms)
  sleep 1  # idle: first paint done, nothing pending
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
  echo "$((end - start)) $rss"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

measure "QWD bare window" "$bare" --label >/dev/null  # warm the file cache for all
measure "Quarven Wave Dump" "$app" >/dev/null
: >"$work/app" >"$work/bare" >"$work/label" >"$work/controls"
for i in $(seq "$runs"); do
  if [ $((i % 2)) = 1 ]; then
    measure "Quarven Wave Dump" "$app" >>"$work/app"
    measure "QWD bare window" "$bare" --controls --bank >>"$work/controls"
    measure "QWD bare window" "$bare" >>"$work/bare"
    measure "QWD bare window" "$bare" --label >>"$work/label"
  else
    measure "QWD bare window" "$bare" --label >>"$work/label"
    measure "QWD bare window" "$bare" >>"$work/bare"
    measure "QWD bare window" "$bare" --controls --bank >>"$work/controls"
    measure "Quarven Wave Dump" "$app" >>"$work/app"
  fi
done
controls_ms=$(cut -d' ' -f1 "$work/controls" | median)
controls_kb=$(cut -d' ' -f2 "$work/controls" | median)
label_ms=$(cut -d' ' -f1 "$work/label" | median)
label_kb=$(cut -d' ' -f2 "$work/label" | median)

app_ms=$(cut -d' ' -f1 "$work/app" | median)
bare_ms=$(cut -d' ' -f1 "$work/bare" | median)
app_fast=$(cut -d' ' -f1 "$work/app" | sort -n | head -n1)
bare_fast=$(cut -d' ' -f1 "$work/bare" | sort -n | head -n1)
app_kb=$(cut -d' ' -f2 "$work/app" | median)
bare_kb=$(cut -d' ' -f2 "$work/bare" | median)

runs_of() { awk '{ printf "%s/%s ", $1, $2 }' "$1"; }
echo "Start-up under Xvfb, $runs runs each (each run: ms to viewable/kB resident)"
echo "  quarven-wave-dump  $(runs_of "$work/app")"
echo "  bare Qt window     $(runs_of "$work/bare")"
echo "  ... with a label   $(runs_of "$work/label")"
echo "  ... with controls  $(runs_of "$work/controls")"
echo "Medians:"
awk -v cm="$controls_ms" -v ck="$controls_kb" -v lm="$label_ms" -v lk="$label_kb" -v a="$app_ms" -v b="$bare_ms" -v af="$app_fast" -v bf="$bare_fast" -v am="$app_kb" -v bm="$bare_kb" 'BEGIN {
  rs = a / b; rm = am / bm
  printf "  launch to viewable  %6.1f ms vs %6.1f ms  ratio %.2fx  (target <= 1.25x: %s)\n", a, b, rs, rs <= 1.25 ? "met" : "MISSED"
  printf "    fastest runs      %6.1f ms vs %6.1f ms  ratio %.2fx  (less disturbed by a busy machine)\n", af, bf, af / bf
  printf "  resident when idle  %6.0f kB vs %6.0f kB  ratio %.2fx  (target <= 1.20x: %s)\n", am, bm, rm, rm <= 1.2 ? "met" : "MISSED"
  printf "  one line of text alone: %.1f ms, %.0f kB (%.2fx, %.2fx the bare window); the window is %.2fx, %.2fx that\n", \
    lm, lk, lm / b, lk / bm, a / lm, am / lk
  rc = a / cm
  printf "  with the same kinds of controls: %.1f ms, %.0f kB; the window is %.2fx (target <= 1.10x: %s), %.2fx that\n", \
    cm, ck, rc, rc <= 1.10 ? "met" : "MISSED", am / ck
}'
