#!/usr/bin/env bash
# A synth plugged in after the window is up is reached without a restart:
# with a private JACK server, the window opens on a wave, Wave > Send To is
# opened from the keyboard, and only then a JACK client with a MIDI input
# (jack_midi_dump) comes up. The open menu follows it; choosing it (Up
# picks the last item, and JACK's ports come after ALSA's) sends the
# 300-byte wave dump there. Run through
# tests/support/private-shm.sh; skips (77) where that can't give JACK a
# /dev/shm of its own.
#
#   send-to-test.sh APP WAV_FILE
set -euo pipefail

app=$1 wav=$2
title="Quarven Wave Dump"
if [ -n "${QWD_NO_PRIVATE_SHM:-}" ]; then
  echo "SKIP: JACK runs only in a /dev/shm of its own: $QWD_NO_PRIVATE_SHM"
  exit 77
fi
source "$(dirname "$0")/rig.sh"
xvfb_start
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp"
export JACK_DEFAULT_SERVER="qwd-send-to-$$" JACK_NO_START_SERVER=1

rig_spawn jackd jackd -n "$JACK_DEFAULT_SERVER" --no-realtime --port-max 64 -d dummy -r 48000 -p 256
poll 400 jack_lsp >/dev/null 2>&1 || fail "jackd did not come up: $(cat "$work/jackd.err")"
rig_spawn app "$app" "$wav"
wait_viewable "$title"
window=$(window_id "$title")
xdotool windowfocus --sync "$window"
sleep 0.3  # the named file is taken once the window is up

# The Wave menu, then its Send To submenu, by their mnemonics.
xdotool key alt+a
sleep 0.3
xdotool key t
sleep 0.3
: >"$work/dump.log"
jack_midi_dump >>"$work/dump.log" 2>"$work/dump.err" &
rig_pids+=($!)
monitor() { jack_lsp 2>/dev/null | grep -qx 'midi-monitor:input'; }
poll 200 monitor || fail "jack_midi_dump never registered its input"
sleep 0.5
xdotool key Up Return
# One line per event; the wave dump is 300 bytes from f0 to f7.
received() { grep -q ' f7$' "$work/dump.log" 2>/dev/null; }
poll 100 received || fail "nothing reached midi-monitor:input: $(cat "$work/app.err")"
line=$(grep -m1 ' f0 ' "$work/dump.log")
bytes=$(($(wc -w <<<"$line") - 1))
[ "$bytes" -ge 300 ] || fail "the dump that arrived is short: $line"
grep -qx 'MIDISendSysex = 0' "$work/app.err" || fail "no send logged: $(cat "$work/app.err")"
echo "PASS: a JACK client plugged in while Send To was open was listed and sent the wave dump"
