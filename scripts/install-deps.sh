#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, skipping those already
# present; through sudo when not run as root. librsvg2-bin's rsvg-convert
# draws the window's icon at build time.
#
#   scripts/install-deps.sh run      what building and running needs
#   scripts/install-deps.sh package  that, plus what building the .deb needs
#   scripts/install-deps.sh test     both, plus what the tests need
#   scripts/install-deps.sh bench    that, plus the benchmarks' measuring tools
set -euo pipefail

build_packages=(
  g++ make cmake pkg-config
  qt6-base-dev libasound2-dev libjack-jackd2-dev libcli11-dev
  libsndfile1-dev libfftw3-dev
  fonts-dejavu-core help2man librsvg2-bin
)
# CPack's DEB generator reads the binaries' dependencies with file and
# dpkg-shlibdeps; the launcher entry and the metainfo are validated, the
# .deb checked with lintian.
package_packages=(
  dpkg-dev file lintian appstream desktop-file-utils
)
# jackd2: the private JACK server, jack_midi_dump and jack_rec of the
# end-to-end MIDI and play tests and the latency benchmark (it asks a debconf
# question, hence the noninteractive install below). qemu-system-x86,
# busybox-static, alsa-utils and cpio: the kernel ALSA test's VM and the
# receivers inside it (aseqdump, and arecord for play). man-db:
# the package test looks the pages up. pipewire, pipewire-jack: a private
# PipeWire daemon, frozen, for the frozen-server test through pw-jack.
# valgrind: the fit, watched across its modules' boundaries.
test_packages=(
  libgtest-dev libbenchmark-dev jackd2 pipewire pipewire-jack valgrind
  qemu-system-x86 busybox-static alsa-utils cpio
  clang libclang-rt-14-dev clang-format
  xvfb xauth xdotool x11-utils imagemagick man-db
)

# sox: what the fit is measured against (bench/fit-bench.sh).
bench_packages=(
  hyperfine sox
)

case "${1:-}" in
  run) wanted=("${build_packages[@]}") ;;
  package) wanted=("${build_packages[@]}" "${package_packages[@]}") ;;
  test) wanted=("${build_packages[@]}" "${package_packages[@]}" "${test_packages[@]}") ;;
  bench) wanted=("${build_packages[@]}" "${package_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
  *) echo "usage: $0 run|package|test|bench" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
