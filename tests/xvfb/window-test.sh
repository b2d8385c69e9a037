#!/usr/bin/env bash
# The real window under Xvfb and real XDND drags from another X client: one
# offering only a move leaves the file and the window alone; a copy loads the
# fitted wave, drawn with its red mark. File > Open..., with keys only, takes
# another file, then the dropped one exactly as its drop did; Ctrl+Q quits
# at once. Named on the command line, the file opens as its drop did. It
# must appear within APPEAR_LIMIT_MS (default 10000).
#
# Given QWDUMP, a bank of 32 it packs, dragged onto the bank panel, fills
# its slots, pictured in OUT_DIR/window-bank.png; all 32, selected and
# dragged out to a file manager's folder, arrive there as the files qwdump
# unpack writes of that bank. Then a logout (SIGTERM)
# with the wave put in the first slot and not saved keeps that bank in the
# data folder, byte for byte; the next start opens it on request, still
# unsaved, its status line saying so, and another SIGTERM keeps it again in
# the same file.
#
#   window-test.sh APP DRAG_SOURCE WAV_FILE OTHER_WAV_FILE OUT_DIR [QWDUMP]
set -euo pipefail

app=$1 drag_source=$2 out_dir=$5
title="Quarven Wave Dump"
source "$(dirname "$0")/rig.sh"
xvfb_start
export XDG_DATA_HOME="$work/data"
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp"
# Copies, so the window shows short paths.
cp "$3" "$4" "$work/" || fail "no wave files $3 $4"
wav="$work/$(basename "$3")" other_wav="$work/$(basename "$4")"

ms() { date +%s%3N; }
start=$(ms)
rig_spawn app "$app"
wait_viewable "$title"
appeared=$(($(ms) - start))
[ "$appeared" -le "${APPEAR_LIMIT_MS:-10000}" ] || fail "the window took $appeared ms to appear"
grep -qx awakeFromNib "$work/app.err" || fail "no awakeFromNib line on stderr: $(cat "$work/app.err")"
window=$(window_id "$title")
# No window manager: focus the window as a click would.
xdotool windowfocus --sync "$window"
shot() { import -window "$window" "$1"; }
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = 0 ]; }
shot "$work/before.png"
black_before=$(count_colour "$work/before.png" '#000000')
drawn() { shot "$1" && [ "$(count_colour "$1" '#000000')" -gt $((black_before + 5000)) ]; }

# Drags from the source NAME onto the wave view; prints how the source saw
# it end. The pause over the target lets its answer reach the source.
target_x=$(($(window_field "$title" "Absolute upper-left X") + $(window_field "$title" Width) / 2))
target_y=$(($(window_field "$title" "Absolute upper-left Y") + $(window_field "$title" Height) / 2))
drags_ended() { grep -c '^drag ended' "$work/$1.out" || true; }
more_ended() { [ "$(drags_ended "$1")" -gt "$2" ]; }
drag_into_window() {
  local ends
  ends=$(drags_ended "$1")
  xdotool mousemove 840 660 mousedown 1 mousemove 850 670 sleep 0.05 \
    mousemove "$target_x" "$target_y" sleep 0.3 mouseup 1
  poll 100 more_ended "$1" "$ends" || true
  tail -n1 "$work/$1.out"
}

# The first drag offers only a move: taking part would let the source
# delete the file. The next ones offer a copy.
rig_spawn source "$drag_source" "$wav" 760 600 move
wait_viewable "QWD drag source"
ended=$(drag_into_window source)
[ "$ended" = "drag ended: ignored" ] || fail "a move-only drag ended as \"$ended\""
[ -f "$wav" ] || fail "a move-only drag deleted $wav"
shot "$work/after-move.png"
same "$work/before.png" "$work/after-move.png" || fail "a move-only drag changed the window"
# A drop is tried again when the window did not take it, or took it without
# its files: on a busy machine the source (a Qt client) can miss the
# request for them, and the window, which takes every drop, gets none.
# Drags SOURCE onto the window until CHECK SHOT... holds; MESSAGE otherwise.
drop_until() {
  local source=$1 message=$2 attempt
  shift 2
  for attempt in 1 2 3; do
    [ "$(drag_into_window "$source")" = "drag ended: copy" ] && poll 60 "$@" && return 0
  done
  fail "$message: $(tail -n1 "$work/$source.out")"
}
mkdir -p "$out_dir"
drop_shot="$out_dir/window-loaded.png"
drop_until source "no wave drawn after the drop" drawn "$drop_shot"
[ "$(count_colour "$drop_shot" '#FF0000')" -gt 0 ] || fail "no red mark for the fitted wave"

# Ctrl+O, the path typed into the dialog, Return.
open_with_keys() {
  xdotool windowfocus --sync "$window" key ctrl+o
  wait_viewable "Open WAV File"
  xdotool windowfocus --sync "$(window_id "Open WAV File")" type --delay 5 "$1"
  xdotool key Return
  poll 100 hidden "Open WAV File" || { import -window root "$out_dir/dialog-stuck.png"; fail "the dialog stayed open"; }
}
# Another file, taken exactly: drawn, without the fitted wave's mark.
unmarked() { drawn "$1" && [ "$(count_colour "$1" '#FF0000')" = 0 ]; }
open_with_keys "$other_wav"
poll 60 unmarked "$work/other.png" || fail "opening $other_wav did not draw it without the mark"
# The dropped file again: label, buttons and wave as after the drop.
looks_like() { shot "$2" && same "$1" "$2"; }
open_with_keys "$wav"
poll 60 looks_like "$drop_shot" "$work/opened.png" || fail "opening $wav looks other than its drop"
# A bank dropped on the panel, below the big view: its 32 pictures drawn.
if [ -n "${6:-}" ]; then
  "$6" morph "$wav" "$other_wav" --steps 30 -o "$work/morph/" >/dev/null || fail "qwdump morph failed"
  "$6" pack "$work"/morph/*.wav --wave 97 -o "$work/bank.syx" >/dev/null || fail "qwdump pack failed"
  kill "${rig_pids[1]}" && poll 100 hidden "QWD drag source" || fail "the first drag source stayed"
  rig_spawn bank_source "$drag_source" "$work/bank.syx" 760 600 copy
  wait_viewable "QWD drag source"
  target_y=$(($(window_field "$title" "Absolute upper-left Y") + $(window_field "$title" Height) * 3 / 4))
  bank_shot="$out_dir/window-bank.png"
  filled() { shot "$1" && [ "$(count_colour "$1" '#000000')" -gt "$(count_colour "$drop_shot" '#000000')" ]; }
  drop_until bank_source "no slot pictures drawn after the bank's drop" filled "$bank_shot"
  kill "${rig_pids[-1]}" 2>/dev/null || true
  # Every slot selected, then dragged out onto a folder.
  mkdir "$work/folder"
  rig_spawn folder "$drag_source" "$work/folder" 760 600 target
  wait_viewable "QWD drop target"
  # The bank opened names the window now: where it was, as found before.
  slot_x=$target_x
  xdotool mousemove "$slot_x" "$target_y" click 1 key ctrl+a
  xdotool mousedown 1 mousemove $((slot_x + 20)) $((target_y + 20)) sleep 0.05 mousemove 840 660 sleep 0.3 mouseup 1
  dropped() { grep -q '^dropped' "$work/folder.out"; }
  poll 100 dropped || fail "the folder got no drop from the panel: $(cat "$work/folder.out" "$work/folder.err")"
  [ "$(cat "$work/folder.out")" = "dropped: 32 of 32 files copied" ] || fail "the folder got $(cat "$work/folder.out")"
  "$6" unpack "$work/bank.syx" -o "$work/unpacked" >/dev/null || fail "qwdump unpack failed"
  diff -r "$work/unpacked" "$work/folder" >/dev/null || fail "the dragged files differ from unpack's: $(ls "$work/folder")"
  import -window root "$out_dir/window-dragged.png"
  kill "${rig_pids[-1]}" 2>/dev/null || true
fi

start=$(ms)
xdotool windowfocus --sync "$window" key ctrl+q
quit() { ! kill -0 "${rig_pids[0]}" 2>/dev/null; }
poll 20 quit || fail "the window did not quit within a second: $(cat "$work/app.err")"
wait "${rig_pids[0]}" || fail "the window quit with status $?: $(cat "$work/app.err")"
quit_ms=$(($(ms) - start))

# A file named on the command line, from the working directory, opens as
# its drop did, and a second is ignored as a drop ignores it; the window
# wears the launcher's icon.
(cd "$work" && exec "$app" "$(basename "$wav")" "$(basename "$other_wav")" >"$work/named.out" 2>"$work/named.err") &
rig_pids+=($!)
wait_viewable "$title"
window=$(window_id "$title")
xdotool windowfocus --sync "$window"
poll 60 looks_like "$drop_shot" "$work/named.png" || fail "quarven-wave-dump $(basename "$wav") looks other than its drop"
icon=$(xprop -id "$window" _NET_WM_ICON)
[[ "$icon" == *"Icon (64 x 64)"* ]] || fail "no icon: ${icon:0:80}"
kept=
if [ -n "${6:-}" ]; then
  "$6" pack "$wav" --wave 97 -o "$work/one.syx" >/dev/null || fail "qwdump pack failed"
  # Terminated; `logged` is the path its log says it kept the bank in.
  terminate() {
    kill -TERM "$1"
    local status=0
    wait "$1" || status=$?
    [ "$status" = 143 ] || fail "SIGTERM ended the window with status $status: $(cat "$2")"
    logged=$(sed -n 's/^The bank.s unsaved changes are kept in //p' "$2")
  }
  slot_x=$(($(window_field "$title" "Absolute upper-left X") + $(window_field "$title" Width) / 2))
  slot_y=$(($(window_field "$title" "Absolute upper-left Y") + $(window_field "$title" Height) * 3 / 4))
  xdotool mousemove "$slot_x" "$slot_y" click 1 key Home ctrl+b
  terminate "${rig_pids[-1]}" "$work/named.err"
  kept=$logged
  [[ "$kept" == "$XDG_DATA_HOME"/quarven-wave-dump/unsaved-bank-*.syx ]] || fail "no bank kept: $(cat "$work/named.err")"
  cmp "$kept" "$work/one.syx" || fail "the kept bank is not the window's"
  rig_spawn again "$app"
  wait_viewable "$title"
  window=$(window_id "$title")
  # It says so in its status line: only that strip differs from the first start's.
  height=$(convert "$work/before.png" -format %h info:)
  offered() {
    shot "$work/empty.png" && ! same "$work/before.png" "$work/empty.png" &&
      convert "$work/before.png" "$work/empty.png" -crop "x$((height - 30))+0+0" +repage "$work/above-%d.png" &&
      same "$work/above-0.png" "$work/above-1.png"
  }
  poll 60 offered ||
    fail "the next start's status line said nothing of the kept bank, or more than it changed"
  xdotool windowfocus --sync "$window" key ctrl+alt+o
  opened() { shot "$1" && ! same "$work/empty.png" "$1"; }
  poll 60 opened "$work/recovered.png" || fail "Open Recovered Bank showed nothing"
  terminate "${rig_pids[-1]}" "$work/again.err"
  [ "$logged" = "$kept" ] || fail "the recovered bank was not kept again in $kept"
  cmp "$kept" "$work/one.syx" || fail "the recovered bank is not the one kept"
  kept="; SIGTERM kept its unsaved bank, and the next start opened it"
fi
echo "PASS: appeared in $appeared ms; a move-only drag left $wav alone; its drop, then File > Open... with keys," \
  "loaded and drew it; a bank's 32 slots dragged out to a folder as unpack writes them; quit in $quit_ms ms; opened it when named on the command line, with its icon$kept"
