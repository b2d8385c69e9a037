#!/usr/bin/env bash
# The Debian package as a user gets it: scripts/package.sh builds it (lintian
# checks it), apt installs it, the installed programs run, find their MIDI
# module and man pages, and a purge leaves nothing behind. As root or through
# sudo -n; it skips (status 77) rather than replace an installed one.
#
#   package-test.sh SOURCE_DIR WORK_DIR BUILT_QWDUMP EXAMPLE_WAV
set -euo pipefail

source_dir=$1 work_dir=$2 built_qwdump=$3 example=$4
package=quarven-wave-dump
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || skip "installing the package needs root or sudo without a password"
  sudo=(sudo -n)
fi
installed() { dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; }
installed && skip "$package is installed already; this test would remove it"

mkdir -p "$work_dir"
log="$work_dir/test.log"
PACKAGE_BUILD_DIR="$work_dir/build" "$source_dir/scripts/package.sh" >"$log" 2>&1 ||
  fail "scripts/package.sh failed: $(tail -n 30 "$log")"
deb=$(tail -n 1 "$log")
[ -f "$deb" ] || fail "scripts/package.sh named no package: $deb"

apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300)
# Never leave the package behind, whatever fails below.
trap 'installed && "${apt[@]}" purge "$package" >/dev/null 2>&1' EXIT
"${apt[@]}" install --no-install-recommends "$(realpath "$deb")" >"$log" 2>&1 || fail "apt-get install: $(cat "$log")"
installed || fail "$package is not installed after apt-get install"
version=$(dpkg-query -W -f='${Version}' "$package")

# From the installed paths; the window program answers without a display.
[ "$(/usr/bin/qwdump --version)" = "qwdump $version" ] || fail "qwdump --version: $(/usr/bin/qwdump --version)"
window_version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/quarven-wave-dump --version) ||
  fail "quarven-wave-dump --version failed"
[ "$window_version" = "quarven-wave-dump $version" ] || fail "quarven-wave-dump --version: $window_version"
installed_example=/usr/share/quarven-wave-dump/examples/$(basename "$example")
[ "$(/usr/bin/qwdump pack "$installed_example" --wave 100)" = "$("$built_qwdump" pack "$example" --wave 100)" ] ||
  fail "the installed qwdump packs $installed_example differently from the built one"
/usr/bin/qwdump fit "$installed_example" -o "$work_dir/fitted.wav" >/dev/null 2>"$log" ||
  fail "the installed qwdump can't fit: $(cat "$log")"
# Listing opens the installed MIDI module: nothing to list, nothing said.
ports=$(JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=qwd-package-test-none /usr/bin/qwdump ports 2>&1) ||
  fail "qwdump ports failed: $ports"
[ -z "$ports" ] || fail "qwdump ports said: $ports"
for page in qwdump quarven-wave-dump; do
  man -w "$page" >/dev/null || fail "man -w $page finds no page"
done
icon=$(sed -n 's/^Icon=//p' /usr/share/applications/quarven-wave-dump.desktop)
[ -f "/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon for the launcher entry"

# Purged, nothing is left but directories other packages own too.
dpkg -L "$package" >"$work_dir/files"
"${apt[@]}" purge "$package" >"$log" 2>&1 || fail "apt-get purge: $(cat "$log")"
status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
[ -z "$status" ] || [[ "$status" == *not-installed ]] || fail "after the purge dpkg says: $status"
while read -r path; do
  [ -e "$path" ] || continue
  [ -d "$path" ] && dpkg -S "$path" >/dev/null 2>&1 || fail "left behind: $path"
done <"$work_dir/files"

echo "PASS: $(basename "$deb") built, installed, ran and purged cleanly"
