#!/usr/bin/env bash
# Starts the real window under Xvfb in the caller's environment (e.g. with a
# JACK server that does not answer), then quits it with Ctrl+Q. Prints how
# long each took, in milliseconds:
#   appeared MS
#   quit MS
#
#   window-start-test.sh APP
set -euo pipefail

app=$1
title="Quarven Wave Dump"
source "$(dirname "$0")/rig.sh"
xvfb_start

ms() { date +%s%3N; }
start=$(ms)
rig_spawn app "$app"
app_pid=${rig_pids[-1]}
wait_viewable "$title"
echo "appeared $(($(ms) - start))"

start=$(ms)
xdotool key --window "$(window_id "$title")" ctrl+q
for _ in $(seq 200); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.02
done
kill -0 "$app_pid" 2>/dev/null && fail "the window did not quit: $(cat "$work/app.err")"
wait "$app_pid" || fail "the window quit with status $?: $(cat "$work/app.err")"
echo "quit $(($(ms) - start))"
