#!/usr/bin/env bash
# Starts the real window under Xvfb in the caller's environment (e.g. with a
# JACK server that does not answer), then quits it with Ctrl+Q; fails when
# either takes longer than its limit, in milliseconds.
#
#   window-start-test.sh APP APPEAR_MS QUIT_MS
set -euo pipefail

title="Quarven Wave Dump"
source "$(dirname "$0")/rig.sh"
xvfb_start

ms() { date +%s%3N; }
start=$(ms)
rig_spawn app "$1"
app_pid=${rig_pids[-1]}
wait_viewable "$title"
appeared=$(($(ms) - start))
[ "$appeared" -le "$2" ] || fail "the window took $appeared ms to appear"

start=$(ms)
# No window manager: the window gets the keyboard focus as a click would
# give it, since Ctrl+Q is a shortcut of the active window.
xdotool windowfocus --sync "$(window_id "$title")" key ctrl+q
quit() { ! kill -0 "$app_pid" 2>/dev/null; }
poll 200 quit || fail "the window did not quit: $(cat "$work/app.err")"
wait "$app_pid" || fail "the window quit with status $?: $(cat "$work/app.err")"
quit=$(($(ms) - start))
[ "$quit" -le "$3" ] || fail "the window took $quit ms to quit"
echo "appeared in $appeared ms, quit in $quit ms"
