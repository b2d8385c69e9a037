#!/usr/bin/env bash
# The ALSA sequencer path against the real kernel: boots Debian's kernel under
# qemu with its sound modules, where vm-init.sh runs qwdump beside receivers
# no one here wrote and checks what they got, first through the kernel's
# virtual ports, then through a USB MIDI interface driven by snd-usb-audio
# (the kernel's dummy USB host controller wired to its USB MIDI gadget).
# The kernel package is fetched once, with apt-get download, into
# BUILD_DIR/kernel-vm; nothing is installed.
#
#   kernel-alsa-test.sh BUILD_DIR QWDUMP MIDI_MODULE WAVES_DIR PLAY_MODULE TONE_CHECK
set -euo pipefail

# Absolute: the programs keep their build paths inside the VM.
build_dir=$(realpath "$1") qwdump=$(realpath "$2") module=$(realpath "$3") waves=$(realpath "$4")
play_module=$(realpath "$5") tone_check=$(realpath "$6")
here=$(cd "$(dirname "$0")" && pwd)
kernel_dir=$build_dir/kernel-vm

die() { echo "FAIL: $*" >&2; exit 1; }

for tool in qemu-system-x86_64 busybox aseqdump aconnect arecord cpio dpkg-deb apt-get; do
  command -v "$tool" >/dev/null || die "$tool is missing: run scripts/install-deps.sh test"
done

work=$(mktemp -d /tmp/qwd-kernel-alsa-XXXXXX)
trap 'rm -rf "$work"' EXIT

# The package linux-image-amd64 depends on, into the current folder.
download_kernel() {
  local package
  package=$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -n1)
  [ -n "$package" ] || { echo "apt knows no linux-image-amd64 package"; return 1; }
  apt-get download -q "$package"
}

# The kernel image with its sound and USB MIDI modules, a few MB of the
# package's ~400.
fetch_kernel() {
  [ -e "$kernel_dir/fetched-usb-aloop" ] && return 0
  rm -rf "$kernel_dir"
  mkdir -p "$kernel_dir"
  # Package lists older than the archive may name a kernel it no longer
  # has: as root, read them anew once.
  (cd "$kernel_dir" && download_kernel) >"$kernel_dir/download.log" 2>&1 ||
    { [ "$(id -u)" -eq 0 ] && apt-get update -q && (cd "$kernel_dir" && download_kernel); } >>"$kernel_dir/download.log" 2>&1 ||
    die "can't fetch the kernel package: $(tail -n 3 "$kernel_dir/download.log")"
  local k='./lib/modules/*/kernel'
  dpkg-deb --fsys-tarfile "$kernel_dir"/*.deb | tar -x -C "$kernel_dir" --wildcards './boot/vmlinuz-*' \
    "$k/sound/soundcore.ko" "$k/sound/core/*" "$k/sound/drivers/snd-virmidi.ko" "$k/sound/drivers/snd-aloop.ko" "$k/sound/usb/snd-usb*.ko" \
    "$k/drivers/usb/common/usb-common.ko" "$k/drivers/usb/core/usbcore.ko" "$k/drivers/usb/gadget/udc/*.ko" \
    "$k/fs/configfs/configfs.ko" "$k/drivers/usb/gadget/libcomposite.ko" \
    "$k/drivers/usb/gadget/function/usb_f_midi.ko" "$k/drivers/media/mc/mc.ko" ||
    die "can't unpack $(echo "$kernel_dir"/*.deb)"
  rm "$kernel_dir"/*.deb
  touch "$kernel_dir/fetched-usb-aloop"
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
  for program in "$qwdump" "$module" "$(command -v aseqdump)" "$(command -v aconnect)" "$play_module" \
    "$tone_check" "$(command -v arecord)"; do
    add_program "$program"
  done
  cp --parents -L /lib64/ld-linux-x86-64.so.2 "$root"
  cp -r --parents /usr/share/alsa "$root"  # libasound reads alsa.conf there
  cp --parents "$waves/square.wav" "$waves/saw-1000.wav" "$root"
  find "$kernel_dir/lib/modules" -name '*.ko' -exec cp -t "$root/lib/modules" {} +
  printf "QWDUMP='%s'\nWAVES='%s'\nTONE_CHECK='%s'\n" "$qwdump" "$waves" "$tone_check" >"$root/vm.env"
  cp "$here/vm-init.sh" "$root/init"
  cp "$here/vm-play.sh" "$root/vm-play.sh"
  chmod 755 "$root/init"
  (cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initrd"  # unpacked faster than gzip's
}

start=$SECONDS
fetch_kernel
make_initramfs
# Under TCG: KVM hangs at "Booting from ROM" on these machines.
timeout 150 qemu-system-x86_64 -accel tcg -cpu max -m 512 -nic none -nographic -no-reboot \
  -kernel "$(echo "$kernel_dir"/boot/vmlinuz-*)" -initrd "$work/initrd" \
  -append "console=ttyS0 quiet panic=-1" </dev/null >"$work/console" 2>&1 ||
  die "qemu failed or timed out: $(tr -d '\r' <"$work/console" | tail -n 15)"
tr -d '\r' <"$work/console" >"$work/report"
grep -q '^@fail ' "$work/report" && { cat "$work/report" >&2; die "the checks above failed in the VM"; }
grep -qx '@done' "$work/report" || die "the VM stopped before its last step: $(tail -n 15 "$work/report")"
sed -n 's/^@play /play: /p' "$work/report"
echo "PASS: the real ALSA sequencer in $((SECONDS - start)) s: $(sed -n 's/^@ports //p' "$work/report")"
echo "USB MIDI: $(sed -n 's/^@usb //p' "$work/report")"
