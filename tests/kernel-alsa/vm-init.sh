#!/bin/sh
# /init of the VM that kernel-alsa-test.sh boots: loads the kernel's sound
# modules, runs the steps at the bottom and reports each on the console as
# "@KEY VALUE" lines after "@step NAME", for the host to judge. The console
# is slow under emulation: report only what a check needs.
#
# /vm.env (written by the host) gives QWDUMP and WAVES, build paths kept.

PATH=/bin:/usr/bin
export PATH JACK_NO_START_SERVER=1
. /vm.env

THROUGH="Midi Through Port-0 (Midi Through)"
VIRMIDI="VirMIDI 0-0 (Virtual Raw MIDI 0-0)"

# Every wait is bounded: a fault must not hang the boot.
wait_for() {
  what=$1
  shift
  for _ in $(seq 50); do
    "$@" && return 0
    sleep 0.1
  done
  echo "@error timed out waiting for $what"
  return 1
}

# Runs one command, reporting its exit status and what it printed.
run() {
  timeout 10 "$@" >/run/out 2>/run/err
  echo "@status $?"
  sed 's/^/@out /' /run/out
  sed 's/^/@err /' /run/err
}

# The receivers: aseqdump subscribed to Midi Through, and the raw MIDI
# device behind VirMIDI 0-0 read as a hardware interface's driver would.
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

received() { wc -c /run/seq /run/raw; }

# The sequencer delivers before a send returns; the receivers only need a
# moment to write out what they were given: until their files stop growing.
collect() {
  last=
  quiet=0
  for _ in $(seq 50); do
    now=$(received)
    if [ "$now" = "$last" ]; then quiet=$((quiet + 1)); else quiet=0; fi
    [ "$quiet" -ge 2 ] && break
    last=$now
    sleep 0.1
  done
  [ "$quiet" -ge 2 ] || echo "@error the receivers never fell silent"
  stop_seq
  kill "$raw_pid" && wait "$raw_pid"
  # One line per event, in the form qwdump pack prints a message.
  grep -v -e '^Waiting for data' -e '^Source' /run/seq | tr -s ' ' | sed 's/^/@seq /'
  echo "@raw$(od -An -v -tx1 /run/raw | tr -d '\n' | tr a-f A-F)"
}

step() { echo "@step $1"; }

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/shm
mount -t tmpfs tmpfs /dev/shm  # libjack keeps its files here
mount -t tmpfs tmpfs /run      # not /tmp: the programs' build paths may lie there
echo
for module in soundcore snd snd-timer snd-seq-device snd-seq snd-rawmidi snd-seq-midi-event \
  snd-seq-midi snd-seq-dummy snd-seq-virmidi snd-virmidi; do
  insmod "/lib/modules/$module.ko" || echo "@error insmod $module failed"
done

step ports
run "$QWDUMP" ports

step seq
listen
run "$QWDUMP" send "$WAVES/square.wav" --port "$THROUGH" --wave 97
collect

step raw
listen
run "$QWDUMP" send "$WAVES/saw-1000.wav" --port "$VIRMIDI" --wave 128
collect

step order
listen
run "$QWDUMP" send "$WAVES/saw-1000.wav" --port "$VIRMIDI" --wave 100
run "$QWDUMP" send "$WAVES/square.wav" --port "$VIRMIDI" --wave 101
collect

# A bank of four in one run, paced by wire time alone.
step bank
listen
run "$QWDUMP" send "$WAVES/square.wav" "$WAVES/saw-1000.wav" "$WAVES/square.wav" "$WAVES/saw-1000.wav" \
  --port "$THROUGH" --wave 125 --gap 0
collect

# More sends through this boot go here, each a step with its check of the
# same name in kernel-alsa-test.sh.

# aseqdump's own port, listed while it runs, then gone with it. Midi
# Through is routed to the raw device, so that a send to either shows.
step gone
listen
aconnect 14:0 16:0 || echo "@error aconnect 14:0 16:0 failed"
run "$QWDUMP" ports
stop_seq
run "$QWDUMP" send "$WAVES/square.wav" --port "aseqdump (aseqdump)" --wave 97
collect

echo "@done"
poweroff -f
