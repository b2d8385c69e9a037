#!/usr/bin/env bash
# The real window under Xvfb: starts the application, drags a fitted WAV
# file into it with a real XDND drag from another X client, and checks from
# outside that the wave is drawn. Then opens another file and the dropped
# one again through File > Open..., with keys only, and checks that the
# window looks exactly as after the drop. Leaves the screenshot of the drop
# in OUT_DIR.
#
#   window-test.sh APP DRAG_SOURCE WAV_FILE OTHER_WAV_FILE OUT_DIR
set -euo pipefail

app=$1 drag_source=$2 wav=$3 other_wav=$4 out_dir=$5
title="Quarven Wave Dump"

for file in "$wav" "$other_wav"; do
  [ -f "$file" ] || { echo "FAIL: no wave file $file" >&2; exit 1; }
done
source "$(dirname "$0")/rig.sh"
xvfb_start

rig_spawn app "$app"
app_pid=${rig_pids[-1]}
wait_viewable "$title"
grep -qx awakeFromNib "$work/app.err" || fail "no awakeFromNib line on stderr: $(cat "$work/app.err")"

# Copies, so the window shows short paths.
cp "$wav" "$other_wav" "$work/"
wav="$work/$(basename "$wav")" other_wav="$work/$(basename "$other_wav")"

window_id=$(window_id "$title")
# No window manager here: give the window the keyboard focus, as clicking
# into it would.
xdotool windowfocus --sync "$window_id"
app_x=$(window_field "$title" "Absolute upper-left X")
app_y=$(window_field "$title" "Absolute upper-left Y")
app_w=$(window_field "$title" "Width")
app_h=$(window_field "$title" "Height")
import -window "$window_id" "$work/before.png"
black_before=$(count_colour "$work/before.png" '#000000')

# Drags the file from a source window (NAME) onto the middle of the window
# (the wave view) and prints how the source saw it end: press in the
# source, move off a little so the drag starts, then over the target. The
# pause over the target lets its answer reach the source before the release.
target_x=$((app_x + app_w / 2)) target_y=$((app_y + app_h / 2))
drag_into_window() {
  local name=$1 ends
  ends=$(grep -c '^drag ended' "$work/$name.out" || true)
  xdotool mousemove 840 660 mousedown 1 mousemove 850 670 sleep 0.05 \
    mousemove "$target_x" "$target_y" sleep 0.3 mouseup 1
  for _ in $(seq 100); do
    [ "$(grep -c '^drag ended' "$work/$name.out" || true)" -gt "$ends" ] && break
    sleep 0.05
  done
  tail -n1 "$work/$name.out"
}

# A source that offers only to move the file: the window must not take
# part, or the source would delete the user's file.
rig_spawn mover "$drag_source" "$wav" 760 600 move
wait_viewable "QWD drag source"
ended=$(drag_into_window mover)
[ "$ended" = "drag ended: ignored" ] || fail "a move-only drag ended as \"$ended\""
[ -f "$wav" ] || fail "a move-only drag deleted $wav"
import -window "$window_id" "$work/after-move.png"
[ "$(compare -metric AE "$work/before.png" "$work/after-move.png" null: 2>&1 || true)" = 0 ] ||
  fail "a move-only drag changed the window"
kill "${rig_pids[-1]}" && wait "${rig_pids[-1]}" || true
for _ in $(seq 100); do
  xwininfo -name "QWD drag source" >/dev/null 2>&1 || break
  sleep 0.05
done

rig_spawn source "$drag_source" "$wav" 760 600
wait_viewable "QWD drag source"
ended=0
for attempt in 1 2 3; do
  if [ "$(drag_into_window source)" = "drag ended: copy" ]; then
    ended=1
    break
  fi
  echo "drag attempt $attempt was not accepted: $(tail -n1 "$work/source.out")" >&2
done
[ "$ended" = 1 ] || fail "the window never accepted the drop"

# The wave is drawn: many black bar pixels, and the red mark of a fitted wave.
mkdir -p "$out_dir"
shot="$out_dir/window-loaded.png"
for _ in $(seq 60); do
  import -window "$window_id" "$shot"
  black_after=$(count_colour "$shot" '#000000')
  [ "$black_after" -gt $((black_before + 5000)) ] && break
  sleep 0.05
done
red=$(count_colour "$shot" '#FF0000')
kill -0 "$app_pid" 2>/dev/null || fail "the application ended: $(cat "$work/app.err")"
[ "$black_after" -gt $((black_before + 5000)) ] ||
  fail "no wave drawn: $black_before black pixels before the drop, $black_after after"
[ "$red" -gt 0 ] || fail "no red mark for the fitted wave"


# Ctrl+O, the path typed into the dialog, Return.
open_with_keys() {
  xdotool windowfocus --sync "$window_id" key ctrl+o
  wait_viewable "Open WAV File"
  xdotool windowfocus --sync "$(window_id "Open WAV File")" type --delay 5 "$1"
  xdotool key Return
  for _ in $(seq 100); do
    xwininfo -name "Open WAV File" 2>/dev/null | grep -q IsViewable || return 0
    sleep 0.05
  done
  import -window root "$out_dir/dialog-stuck.png"
  fail "the file dialog stayed open for $1"
}

# Another file, taken exactly: the red mark goes, as it was not fitted.
open_with_keys "$other_wav"
for _ in $(seq 60); do
  import -window "$window_id" "$work/other.png"
  [ "$(count_colour "$work/other.png" '#FF0000')" = 0 ] && break
  sleep 0.05
done
[ "$(count_colour "$work/other.png" '#FF0000')" = 0 ] || fail "opening $other_wav left the fitted wave's mark"
[ "$(count_colour "$work/other.png" '#000000')" -gt $((black_before + 5000)) ] || fail "no wave drawn for $other_wav"

# The dropped file again: label, buttons and wave as after the drop.
open_with_keys "$wav"
for _ in $(seq 60); do
  import -window "$window_id" "$work/opened.png"
  differing=$(compare -metric AE "$shot" "$work/opened.png" null: 2>&1 || true)
  [ "$differing" = 0 ] && break
  sleep 0.05
done
[ "$differing" = 0 ] || fail "opening $wav shows $differing pixels other than its drop did"
kill -0 "$app_pid" 2>/dev/null || fail "the application ended: $(cat "$work/app.err")"

echo "PASS: real drop loaded the wave ($black_before black pixels before, $black_after after, $red red); screenshot $shot"
echo "PASS: File > Open... with keys loaded $other_wav, then $wav exactly as its drop did"
