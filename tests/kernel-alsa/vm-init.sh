#!/bin/sh
# /init of the VM kernel-alsa-test.sh boots: runs qwdump (QWDUMP, WAVES from
# /vm.env) beside receivers no one here wrote, aseqdump and the raw MIDI
# device, and checks what they got against qwdump pack's bytes; then the same
# through a USB MIDI interface, both ways. It reports "@fail WHAT", "@ports
# LISTING", "@usb FIGURES" and, once every step has run, "@done".

PATH=/bin:/usr/bin
export PATH JACK_NO_START_SERVER=1
. /vm.env

fail() { echo "@fail $step: $*"; }

# Every wait is bounded: a fault must not hang the boot.
wait_for() {
  what=$1
  shift
  for _ in $(seq 50); do
    "$@" && return 0
    sleep 0.1
  done
  fail "timed out waiting for $what"
}

# STATUS ARG...: qwdump must exit with STATUS; output in /run/out, /run/err.
qwdump() {
  want=$1
  shift
  timeout 10 "$QWDUMP" "$@" >/run/out 2>/run/err
  got=$?
  [ "$got" = "$want" ] || fail "qwdump $* exited with $got, not $want: $(cat /run/err)"
}

# FILE:WAVE...: the messages qwdump pack makes of them, a line each.
packed() {
  for file_wave; do "$QWDUMP" pack "$WAVES/${file_wave%:*}" --wave "${file_wave#*:}"; done
}

# aseqdump subscribed to Midi Through; VirMIDI 0-0's raw device read as a
# hardware interface's driver would.
listen() {
  aseqdump -p 14:0 >/run/seq 2>&1 &
  seq_pid=$!
  cat /dev/snd/midiC0D0 >/run/raw &
  raw_pid=$!
  wait_for "aseqdump to subscribe" grep -q "Connected From: 14:0" /proc/asound/seq/clients
  wait_for "the raw MIDI device to open" sh -c "ls -l /proc/$raw_pid/fd | grep -q midiC0D0"
}

stop_seq() {
  [ -n "$seq_pid" ] && kill "$seq_pid" && wait "$seq_pid"
  seq_pid=
}

# SEQ RAW: once the receivers' files stop growing, aseqdump's events (a line
# each) must be SEQ, and the raw device's bytes RAW.
expect() {
  last=
  quiet=0
  for _ in $(seq 50); do
    now=$(wc -c /run/seq /run/raw)
    if [ "$now" = "$last" ]; then quiet=$((quiet + 1)); else quiet=0; fi
    [ "$quiet" -ge 2 ] && break
    last=$now
    sleep 0.1
  done
  stop_seq
  kill "$raw_pid" && wait "$raw_pid"
  seq=$(grep -v -e '^Waiting for data' -e '^Source' /run/seq | tr -s ' ' | sed 's/^ //')
  raw=$(od -An -v -tx1 /run/raw | tr -d '\n' | tr a-f A-F | sed 's/^ //')
  [ "$seq" = "$1" ] || fail "aseqdump got \"$(echo "$seq" | cut -c1-80)...\", expected \"$(echo "$1" | cut -c1-80)...\""
  [ "$raw" = "$2" ] || fail "midiC0D0 gave $(echo "$raw" | wc -w) bytes \"$(echo "$raw" | cut -c1-80)...\""
}

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/shm
mount -t tmpfs tmpfs /dev/shm  # libjack keeps its files here
mount -t tmpfs tmpfs /run      # not /tmp: the programs' build paths may lie there
echo
step=modules
for module in soundcore snd snd-timer snd-seq-device snd-seq snd-rawmidi snd-seq-midi-event \
  snd-seq-midi snd-seq-dummy snd-seq-virmidi snd-virmidi snd-pcm snd-aloop; do
  insmod "/lib/modules/$module.ko" || fail "insmod $module"
done

# The kernel's ports by title (its System ports can't be subscribed to).
step=ports
qwdump 0 ports
echo "@ports $(paste -sd '|' /run/out)"
[ "$(paste -sd '|' /run/out)" = "Midi Through Port-0 (Midi Through)$(printf '|VirMIDI 0-%d (Virtual Raw MIDI 0-%d)' \
  0 0 1 1 2 2 3 3)" ] || fail "not the kernel's ports"
[ -s /run/err ] && fail "said $(cat /run/err)"

# Two sends in a row come out of the raw device in order, byte for byte.
step=raw
listen
qwdump 0 send "$WAVES/saw-1000.wav" --port "VirMIDI 0-0 (Virtual Raw MIDI 0-0)" --wave 100
qwdump 0 send "$WAVES/square.wav" --port "VirMIDI 0-0 (Virtual Raw MIDI 0-0)" --wave 101
expect "" "$(packed saw-1000.wav:100 square.wav:101 | paste -sd ' ')"

# A bank of four, paced by wire time alone, to Midi Through by its address
# as aconnect names it: each message one whole event.
step=bank
listen
qwdump 0 send "$WAVES/square.wav" "$WAVES/saw-1000.wav" "$WAVES/square.wav" "$WAVES/saw-1000.wav" \
  --port 14:0 --wave 125 --gap 0
expect "$(packed square.wav:125 saw-1000.wav:126 square.wav:127 saw-1000.wav:128 | sed 's/^/14:0 System exclusive /')" ""

# aseqdump's port, listed while it runs, then gone with it: exit 3 and the
# alert, and nothing sent (Midi Through is routed to the raw device).
step=gone
listen
aconnect 14:0 16:0 || fail "aconnect 14:0 16:0"
qwdump 0 ports
grep -qx "aseqdump (aseqdump)" /run/out || fail "aseqdump's port was not listed while it ran"
stop_seq
qwdump 3 send "$WAVES/square.wav" --port "aseqdump (aseqdump)" --wave 97
grep -qFx "The MIDI port you've selected is no longer available.Please select another." /run/err ||
  fail "no alert on stderr, only $(cat /run/err)"
expect "" ""

# A port another client holds exclusively is refused with the sequencer's
# reason, and nothing reaches it.
step=exclusive
listen
address_of() { "$QWDUMP" ports --addresses | sed -n "s/^VirMIDI 0-$1 (Virtual Raw MIDI 0-$1)\t//p"; }
virmidi=$(address_of 0) other=$(address_of 1)
aconnect -d 14:0 "$virmidi" && aconnect -e "$other" "$virmidi" || fail "aconnect -e $other $virmidi"
qwdump 4 send "$WAVES/square.wav" --port "$virmidi" --wave 97
grep -qF "snd_seq_connect_to $virmidi: Device or resource busy" /run/err || fail "not refused: $(cat /run/err)"
aconnect -d "$other" "$virmidi" && aconnect 14:0 "$virmidi"
expect "" ""

# A USB MIDI interface as synth owners have one: snd-usb-audio drives the
# near side of the kernel's dummy USB host controller, wired to its USB MIDI
# gadget, whose far side (card f_midi, a raw MIDI device) plays the synth.
step=usb
for module in usb-common usbcore udc-core configfs libcomposite dummy_hcd snd-hwdep mc snd-usbmidi-lib \
  snd-usb-audio usb_f_midi; do
  insmod "/lib/modules/$module.ko" || fail "insmod $module"
done
mount -t configfs none /sys/kernel/config
G=/sys/kernel/config/usb_gadget/g1
{ mkdir $G $G/strings/0x409 && echo 0x1d6b >$G/idVendor && echo 0x0104 >$G/idProduct &&
  echo "Some Maker" >$G/strings/0x409/manufacturer && echo "Synth One" >$G/strings/0x409/product &&
  mkdir $G/functions/midi.usb0 $G/configs/c.1 && ln -s $G/functions/midi.usb0 $G/configs/c.1/ &&
  ls /sys/class/udc >$G/UDC; } || fail "can't make the USB MIDI gadget"
synth="Synth One MIDI 1 (Synth One)"
wait_for "the interface to be listed" sh -c "'$QWDUMP' ports | grep -qxF '$synth'"
gadget=/dev/snd/midiC$(sed -n 's/^ *\([0-9]*\) .*MIDI Gadget - f_midi$/\1/p' /proc/asound/cards)D0
bank=
for _ in $(seq 16); do bank="$bank $WAVES/square.wav $WAVES/saw-1000.wav"; done
"$QWDUMP" pack $bank --wave 97 -o /run/bank.syx

# A bank of 32, back to back, comes out of the synth's end byte for byte,
# each message placed by the sequencer's queue one wire time (96 ms at
# --gap 0) after the one before: the synth's end notes when each arrived
# whole, to /proc/uptime's 10 ms.
(for _ in $(seq 32); do
  head -c 300
  cut -d' ' -f1 /proc/uptime >>/run/usb-times
done <"$gadget" >/run/usb-out) &
raw_pid=$!
qwdump 0 send $bank --port "$synth" --wave 97 --gap 0
wait_for "the bank at the synth" sh -c "[ \$(wc -l </run/usb-times) -ge 32 ]"
kill "$raw_pid" 2>/dev/null
wait "$raw_pid"
spacing=$(awk 'NR > 1 { print int(($1 - last) * 1000 + 0.5) } { last = $1 }' /run/usb-times | sort -n | sed -n 16p)
whole=$(awk 'NR == 1 { first = $1 } END { printf "%.2f", $1 - first + 0.096 }' /run/usb-times)
echo "@usb a bank of 32 at --gap 0, at the synth: a message every $spacing ms (median), the whole in $whole s (the wire's floor 3.072 s)"
cmp -s /run/usb-out /run/bank.syx || fail "the synth got $(wc -c </run/usb-out) bytes, not the bank's 9600"

# The synth dumps the bank back as a synth with a USB port of its own does:
# all of it in one write, nothing pacing it to a cable's speed, a clock byte
# inside every fourth message. The sequencer hands each message on in
# pieces; receive collects every one, byte for byte. Below the sequencer,
# the card's raw MIDI buffer (4 KiB by default) overruns whenever this slow
# VM's kernel falls behind the burst: the bank gets the room an owner can
# give it (options snd-seq-midi input_buffer_size=65536); receive says the
# loss when it has less (further on).
echo 65536 >/sys/module/snd_seq_midi/parameters/input_buffer_size
for i in $(seq 0 31); do
  dd if=/run/bank.syx bs=100 skip=$((3 * i)) count=1 2>/dev/null
  [ $((i % 4)) = 0 ] && printf '\370'
  dd if=/run/bank.syx bs=100 skip=$((3 * i + 1)) count=2 2>/dev/null
done >/run/dump.syx
address=$("$QWDUMP" ports --sources --addresses | sed -n "s/^$synth\t//p")
# receive IDLE ARG...: receive from the synth in the background, once it listens.
receive() {
  idle=$1
  shift
  "$QWDUMP" receive --port "$synth" -o /run/backup.syx --wait 20 --idle "$idle" "$@" >/run/received 2>/run/err &
  receive_pid=$!
  wait_for "receive to listen" sh -c "grep -c 'Connected From: $address' /proc/asound/seq/clients | grep -qx $listeners"
}
# STATUS: receive must end with it.
received() {
  wait "$receive_pid"
  got=$?
  [ "$got" = "$1" ] || fail "receive exited with $got, not $1: $(head -c 300 /run/err)"
  waves=$(grep -c '^Received wave' /run/received)
}
# Each message receive wrote must be one of the bank's, whole: none made of
# two halves. A wave that came again is written once, its later copy, so
# the file may hold fewer messages than arrived.
whole_dumps() {
  bytes=$(wc -c </run/backup.syx)
  [ $((bytes % 300)) = 0 ] || fail "receive wrote $bytes bytes, not whole wave dumps"
  i=0
  while [ "$i" -lt $((bytes / 300)) ]; do
    dd if=/run/backup.syx bs=300 skip="$i" count=1 2>/dev/null >/run/one
    index=$(od -An -tu1 -j5 -N1 /run/one | tr -d ' ')
    dd if=/run/bank.syx bs=300 skip=$((index - 96)) count=1 2>/dev/null >/run/want
    cmp -s /run/want /run/one || fail "message $i of the backup is not the bank's wave $((index + 1))"
    i=$((i + 1))
  done
  [ $((bytes / 300)) -le "$waves" ] || fail "receive wrote $((bytes / 300)) messages for $waves waves"
}
listeners=1
receive 1 --count 32
# Kept open until the bank is through: closing a raw MIDI device drops
# what it has not sent yet.
exec 3>"$gadget"
start=$(cut -d' ' -f1 /proc/uptime)
cat /run/dump.syx >&3
received 0
ended=$(cut -d' ' -f1 /proc/uptime)
cmp -s /run/backup.syx /run/bank.syx || fail "receive wrote $(wc -c </run/backup.syx) bytes, not the bank: $(cat /run/err)"
[ "$waves" = 32 ] || fail "receive said $(head -c 200 /run/received)"
[ -s /run/err ] && fail "receive said $(cat /run/err)"
cp /run/backup.syx /run/got.syx
echo "@usb a bank in one write: 32 of 32 arrived, by $ended s from $start s"

# Stopped (SIGSTOP) for a second in the middle of the burst, longer than
# its quiet spell, receive still gets all of it: the kernel holds the rest
# meanwhile, and hands it on before receive stops listening.
receive 1 --count 32
dd if=/run/dump.syx bs=4804 count=1 2>/dev/null >&3
wait_for "the first half" sh -c "[ \$(grep -c '^Received wave' /run/received) = 16 ]"
kill -STOP "$receive_pid"
dd if=/run/dump.syx bs=4804 skip=1 2>/dev/null >&3
sleep 1
kill -CONT "$receive_pid"
received 0
cmp -s /run/backup.syx /run/bank.syx || fail "stopped, receive wrote $(wc -c </run/backup.syx) bytes, not the bank"

# Stopped while five banks come, more than the kernel can hold: the overrun
# is said, the status says the backup is not whole, and what is written is
# only whole messages of the bank, none made of two halves; what comes
# after the overrun is taken again.
receive 3
dd if=/run/dump.syx bs=4804 count=1 2>/dev/null >&3
wait_for "the first half" sh -c "[ \$(grep -c '^Received wave' /run/received) = 16 ]"
kill -STOP "$receive_pid"
for _ in 1 2 3 4 5; do cat /run/dump.syx >&3; done
sleep 1
kill -CONT "$receive_pid"
wait_for "the overrun to be said" grep -q "overran" /run/err
cat /run/dump.syx >&3
received 5
grep -q "^qwdump: MIDI input overran: the ALSA sequencer's input pool was full (snd_seq_event_input: No space left on device)$" /run/err &&
  grep -q "^qwdump: some messages were lost" /run/err || fail "the overrun was not said: $(cat /run/err)"
whole_dumps
[ "$waves" -ge 48 ] || fail "after the overrun receive took only $waves waves"
echo "@usb stopped while 5 banks came: $waves of 208 arrived whole, the overrun said: $(grep -c '^qwdump: MIDI input overran' /run/err) time(s)"

# The card's raw MIDI buffer overruns, which no sequencer client is told
# of: made small, it holds a message at a time but not the bank, and receive
# reads the card's count of dropped bytes and says so.
echo 512 >/sys/module/snd_seq_midi/parameters/input_buffer_size
receive 1 --count 32
for i in 0 1; do
  dd if=/run/bank.syx bs=300 skip="$i" count=1 2>/dev/null >&3
  sleep 0.3
done
cat /run/dump.syx >&3
received 5
echo 65536 >/sys/module/snd_seq_midi/parameters/input_buffer_size
grep -q "^qwdump: MIDI input overran below the ALSA sequencer: the raw MIDI buffer dropped [0-9]* bytes (/proc/asound/card[0-9]*/midi0)" /run/err ||
  fail "the raw MIDI overrun was not said: $(cat /run/err)"
whole_dumps
[ "$waves" -ge 2 ] || fail "only $waves waves arrived before the raw MIDI overrun"
echo "@usb through a raw MIDI buffer of 512 bytes: $waves of 34 arrived whole; $(sed -n 's/^qwdump: MIDI input overran below the ALSA sequencer: //p' /run/err | head -n1)"

# Fewer than --count: what came is written, said, and the status tells.
receive 1 --count 32
dd if=/run/dump.syx bs=1502 count=1 2>/dev/null >&3
received 5
exec 3>&-
dd if=/run/bank.syx bs=1500 count=1 2>/dev/null >/run/want
cmp -s /run/want /run/backup.syx || fail "5 waves were not written"
[ "$(cat /run/err)" = "qwdump: received 5 of 32 wave dumps" ] || fail "receive said $(cat /run/err)"

# Unpacked to WAV files and packed again, the bank is what it was.
qwdump 0 unpack /run/got.syx -o /run/waves
qwdump 0 pack /run/waves/wave-*.wav --wave 97 -o /run/again.syx
cmp -s /run/again.syx /run/bank.syx || fail "unpack and pack did not give the bank back"

. /vm-play.sh

echo "@done"
poweroff -f
