# Sourced by vm-init.sh at its end: qwdump play through ALSA's default
# device, made the snd-aloop card's playback side, while arecord records its
# capture side; tone_check holds each recording against the wave. A4 ends by
# Ctrl-C, C8 on time. Reports "@play NOTE: measurements".

step=play
mkdir -p /etc
printf 'pcm.!default { type plug slave.pcm "hw:Loopback,0,0" }\n' >/etc/asound.conf
for note_hz in A4:440 C8:4186.009; do
  note=${note_hz%:*}
  arecord -q -D hw:Loopback,1,0 --buffer-time=100000 -f S16_LE -r 48000 -c 1 /run/rec.wav 2>/run/arecord &
  rec_pid=$!
  wait_for "arecord to start" grep -q RUNNING /proc/asound/Loopback/pcm1c/sub0/status
  seconds=1
  [ "$note" = A4 ] && seconds=0
  timeout 20 "$QWDUMP" -v play "$WAVES/square.wav" --note "$note" --seconds "$seconds" >/run/out 2>/run/err &
  play_pid=$!
  if [ "$note" = A4 ]; then
    wait_for "play to start" grep -q Playing /run/out
    sleep 1
    kill -INT "$play_pid"
  fi
  wait "$play_pid"
  got=$?
  [ "$got" = "$([ "$note" = A4 ] && echo 130 || echo 0)" ] || fail "play $note exited with $got: $(cat /run/err)"
  sleep 0.2
  kill -INT "$rec_pid" && wait "$rec_pid"
  "$TONE_CHECK" /run/rec.wav "$WAVES/square.wav" "${note_hz#*:}" -12 >/run/check 2>&1 || fail "$note: $(tr "\n" " " </run/check) $(tr "\n" " " </run/err)"
  echo "@play $note: $(cat /run/check) $(sed -n 's/^qwdump play: //p' /run/err)"
done

# The keyboard: VirMIDI 0-0's sequencer port played from, its raw device
# written as a keyboard's cable would be: A4 held for a second, each event
# handed to the audio side by the first period after its arrival. Reports
# "@play keyboard: measurements".
arecord -q -D hw:Loopback,1,0 --buffer-time=100000 -f S16_LE -r 48000 -c 1 /run/keys.wav 2>/run/arecord &
rec_pid=$!
wait_for "arecord to start" grep -q RUNNING /proc/asound/Loopback/pcm1c/sub0/status
timeout 20 "$QWDUMP" -v play "$WAVES/square.wav" --midi-in "VirMIDI 0-0 (Virtual Raw MIDI 0-0)" >/run/out 2>/run/err &
play_pid=$!
wait_for "play to start" grep -q Playing /run/out
sleep 0.5
printf '\220\105\177' >/dev/snd/midiC0D0
sleep 1
printf '\200\105\000' >/dev/snd/midiC0D0
sleep 0.5
kill -INT "$play_pid"
wait "$play_pid"
got=$?
[ "$got" = 130 ] || fail "play --midi-in exited with $got: $(cat /run/err)"
sleep 0.2
kill -INT "$rec_pid" && wait "$rec_pid"
"$TONE_CHECK" /run/keys.wav "$WAVES/square.wav" 440 -12 >/run/check 2>&1 || fail "keyboard: $(tr "\n" " " </run/check) $(tr "\n" " " </run/err)"
# Each event taken by the first period after its arrival, and within a
# period and 1 ms of it, the period as long as the device made it: snd-aloop
# keeps time in jiffies (4 ms here), so its wake-ups come up to a tick late.
period_ms=$(sed -n 's/.*periods of [0-9]* frames (\([0-9.]*\) ms).*/\1/p' /run/err)
waits=$(sed -n 's/.*event waited at most \([0-9.]*\) ms for its period, the periods coming at most \([0-9.]*\) ms apart; at most \([0-9.]*\) ms past.*/\1 \2 \3/p' /run/err)
[ -n "$waits" ] && echo "$waits" | awk '{ exit !($3 == 0 && $1 <= $2 + 1) }' ||
  fail "keyboard: an event waited too long (${waits:-?} ms), periods of ${period_ms:-?} ms: $(tr "\n" " " </run/err)"
echo "@play keyboard: $(cat /run/check) $(sed -n 's/^qwdump play: //p' /run/err | paste -sd " ")"
