#!/usr/bin/env bash
# The ALSA sequencer path against the real kernel: boots Debian's kernel under
# qemu with its sound modules, and runs qwdump there beside receivers no one
# here wrote (aseqdump, and the raw MIDI device read with cat). vm-init.sh
# runs the steps in the VM; the checks of the same names below judge what it
# reported on the console.
#
#   kernel-alsa-test.sh BUILD_DIR QWDUMP MIDI_MODULE WAVES_DIR
#
# The kernel package is fetched once, with apt-get download, into
# BUILD_DIR/kernel-vm; nothing is installed on the host.
set -euo pipefail

# Absolute: the programs keep their build paths inside the VM.
build_dir=$(realpath "$1") qwdump=$(realpath "$2") module=$(realpath "$3") waves=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
kernel_dir=$build_dir/kernel-vm

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() { echo "FAIL: $*" >&2; exit 1; }

for tool in qemu-system-x86_64 busybox aseqdump aconnect cpio dpkg-deb apt-get; do
  command -v "$tool" >/dev/null || die "$tool is missing: run scripts/install-deps.sh test"
done

work=$(mktemp -d /tmp/qwd-kernel-alsa-XXXXXX)
vm_pid=
cleanup() {
  if [ -n "$vm_pid" ]; then
    kill "$vm_pid" 2>/dev/null || true
    wait "$vm_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# The package linux-image-amd64 depends on, into the current folder.
download_kernel() {
  local package
  package=$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -n1)
  [ -n "$package" ] || { echo "apt knows no linux-image-amd64 package"; return 1; }
  apt-get download -q "$package"
}

# The kernel image and its sound modules, a few MB of the package's ~400.
fetch_kernel() {
  [ -e "$kernel_dir/fetched" ] && return 0
  rm -rf "$kernel_dir"
  mkdir -p "$kernel_dir"
  # Package lists older than the archive may name a kernel it no longer
  # has: as root, read them anew once.
  (cd "$kernel_dir" && download_kernel) >"$kernel_dir/download.log" 2>&1 ||
    { [ "$(id -u)" -eq 0 ] && apt-get update -q && (cd "$kernel_dir" && download_kernel); } >>"$kernel_dir/download.log" 2>&1 ||
    die "can't fetch the kernel package: $(tail -n 3 "$kernel_dir/download.log")"
  dpkg-deb --fsys-tarfile "$kernel_dir"/*.deb | tar -x -C "$kernel_dir" --wildcards './boot/vmlinuz-*' \
    './lib/modules/*/kernel/sound/soundcore.ko' './lib/modules/*/kernel/sound/core/*' \
    './lib/modules/*/kernel/sound/drivers/snd-virmidi.ko' || die "can't unpack $(echo "$kernel_dir"/*.deb)"
  rm "$kernel_dir"/*.deb
  touch "$kernel_dir/fetched"
}

# A program at its own path, with every library ldd names for it.
add_program() {
  local file
  for file in "$1" $(ldd "$1" 2>/dev/null | sed -n 's/.*=> \(\/[^ ]*\).*/\1/p'); do
    cp --parents -L "$file" "$root"
  done
}

make_initramfs() {
  root=$work/root
  mkdir -p "$root"/{bin,dev,proc,sys,run,lib/modules}
  cp -L "$(command -v busybox)" "$root/bin/busybox"  # busybox-static: no libraries
  local applet
  for applet in $(busybox --list); do
    [ "$applet" = busybox ] || ln -s busybox "$root/bin/$applet"
  done
  local program
  for program in "$qwdump" "$module" "$(command -v aseqdump)" "$(command -v aconnect)"; do
    add_program "$program"
  done
  cp --parents -L /lib64/ld-linux-x86-64.so.2 "$root"
  cp -r --parents /usr/share/alsa "$root"  # libasound reads alsa.conf there
  cp --parents "$waves/square.wav" "$waves/saw-1000.wav" "$root"
  find "$kernel_dir/lib/modules" -name '*.ko' -exec cp -t "$root/lib/modules" {} +
  printf "QWDUMP='%s'\nWAVES='%s'\n" "$qwdump" "$waves" >"$root/vm.env"
  cp "$here/vm-init.sh" "$root/init"
  chmod 755 "$root/init"
  (cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initrd"  # unpacked faster than gzip's
}

# Under TCG: KVM hangs at "Booting from ROM" on these machines.
boot() {
  timeout 100 qemu-system-x86_64 -accel tcg -cpu max -m 512 -nic none -nographic -no-reboot \
    -kernel "$(echo "$kernel_dir"/boot/vmlinuz-*)" -initrd "$work/initrd" \
    -append "console=ttyS0 quiet panic=-1" </dev/null >"$work/console" 2>&1 &
  vm_pid=$!
  wait "$vm_pid" || die "qemu failed or timed out: $(tr -d '\r' <"$work/console" | tail -n 15)"
  vm_pid=
  # "STEP<tab>KEY<tab>VALUE" for each "@KEY VALUE" line.
  tr -d '\r' <"$work/console" | awk '
    /^@step / { step = $2; next }
    /^@/ { key = substr($1, 2); sub(/^@[^ ]* ?/, ""); sub(/ +$/, ""); print step "\t" key "\t" $0 }
  ' >"$work/reported"
}

# What a step reported under a key, one value a line.
reported() { awk -F '\t' -v step="$1" -v key="$2" '$1 == step && $2 == key { print $3 }' "$work/reported"; }

# The engine's message for a wave file and number, as hex.
message() { "$qwdump" pack "$waves/$1" --wave "$2"; }

# WHAT UNIT EXPECTED GOT: where two texts first differ, a word (a byte) at a time.
same() {
  [ "$3" = "$4" ] && return 0
  fail "$1: $(awk -v unit="$2" -v e="$3" -v g="$4" 'BEGIN {
    ne = split(e, E); ng = split(g, G)
    for (i = 1; i <= ne && i <= ng && E[i] == G[i]; i++) {}
    for (k = i; k < i + 8; k++) { es = es (k <= ne ? " " E[k] : ""); gs = gs (k <= ng ? " " G[k] : "") }
    printf "%d %ss where %d were expected; from %s %d on, expected \"%s\", got \"%s\"", ng, unit, ne, unit, i,
      es == "" ? "nothing" : substr(es, 2), gs == "" ? "nothing" : substr(gs, 2) }')"
}

# STEP STATUSES EVENTS BYTES: qwdump's exit statuses, the events aseqdump got
# from Midi Through (a line each) and the bytes out of /dev/snd/midiC0D0.
check() {
  local statuses
  statuses=$(reported "$1" status | paste -sd ' ')
  [ "$statuses" = "$2" ] ||
    fail "$1: qwdump exited with \"$statuses\", expected \"$2\"; it said \"$(reported "$1" err | paste -sd '|')\""
  same "$1: aseqdump" word "$3" "$(reported "$1" seq | sed 's/^ //')"
  same "$1: /dev/snd/midiC0D0" byte "$4" "$(reported "$1" raw)"
}

listed() { reported "$1" out | paste -sd '|'; }

start=$SECONDS
fetch_kernel
make_initramfs
boot
if ! grep -q $'\tdone\t' "$work/reported"; then
  fail "the VM stopped before its last step; its console ended with:"
  tr -d '\r' <"$work/console" | tail -n 15 >&2
fi
while IFS= read -r error; do fail "in the VM: $error"; done < <(awk -F '\t' '$2 == "error" { print $1 ": " $3 }' "$work/reported")

# The kernel's System ports are not both writable and subscribable.
kernel_ports="Midi Through Port-0 (Midi Through)$(printf '|VirMIDI 0-%d (Virtual Raw MIDI 0-%d)' 0 0 1 1 2 2 3 3)"
check ports 0 "" ""
[ "$(listed ports)" = "$kernel_ports" ] || fail "ports: qwdump ports listed \"$(listed ports)\", expected \"$kernel_ports\""
[ -z "$(reported ports err)" ] || fail "ports: qwdump ports said \"$(reported ports err | paste -sd '|')\""

check seq 0 "14:0 System exclusive $(message square.wav 97)" ""
check raw 0 "" "$(message saw-1000.wav 128)"
check order "0 0" "" "$(message saw-1000.wav 100) $(message square.wav 101)"
check bank 0 "$(for wave in 125 126 127 128; do
  echo "14:0 System exclusive $(message "$([ $((wave % 2)) = 1 ] && echo square || echo saw-1000).wav" $wave)"
done)" ""

check gone "0 3" "" ""
[[ "|$(listed gone)|" == *"|aseqdump (aseqdump)|"* ]] || fail "gone: aseqdump's port was not listed while it ran: \"$(listed gone)\""
reported gone err | grep -qFx "The MIDI port you've selected is no longer available.Please select another." ||
  fail "gone: no alert on stderr, only \"$(reported gone err | paste -sd '|')\""

[ "$failures" -eq 0 ] || exit 1
echo "PASS: the real ALSA sequencer in $((SECONDS - start)) s: $(listed ports)"
