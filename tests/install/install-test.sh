#!/usr/bin/env bash
# cmake --install puts both programs and the launcher entry where a desktop
# finds them, and the installed programs start.
#
#   install-test.sh BUILD_DIR
set -euo pipefail

build_dir=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >"$prefix/install.log" || fail "$(cat "$prefix/install.log")"

desktop="$prefix/share/applications/quarven-wave-dump.desktop"
for program in quarven-wave-dump qwdump; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program not installed"
done
[ -f "$desktop" ] || fail "no launcher entry in share/applications"
desktop-file-validate "$desktop" || fail "launcher entry does not validate"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = quarven-wave-dump ] || fail "launcher runs \"$exec_line\""
grep -qx 'Name=Quarven Wave Dump' "$desktop" || fail "launcher entry not named Quarven Wave Dump"

"$prefix/bin/qwdump" --help >/dev/null || fail "installed qwdump does not run"
# Listing loads the installed MIDI backends module: no server here, so no
# destinations, and nothing said about a missing module.
ports_err=$(JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=qwd-install-test-none "$prefix/bin/qwdump" ports 2>&1 >/dev/null) ||
  fail "installed qwdump ports failed"
[ -z "$ports_err" ] || fail "installed qwdump ports said: $ports_err"
set +e
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/quarven-wave-dump" 2>&1)
status=$?
set -e
[ "$status" = 1 ] && [[ "$message" == *"no display"* ]] || fail "installed window program: $status $message"
echo "PASS: installed bin/quarven-wave-dump, bin/qwdump and the launcher entry"
