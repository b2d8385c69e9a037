#!/bin/sh
# qwdump's help as help2man reads it: the program's own, then each command's
# under a heading of its own, so that qwdump(1) lists every command's
# arguments and options exactly as their --help does. Anything but --help
# goes to qwdump itself.
#
#   qwdump-help.sh QWDUMP --help|--version
set -eu
qwdump=$1
shift
[ "${1:-}" = --help ] || exec "$qwdump" "$@"

"$qwdump" --help
printf '\n*Commands*\n\n'
for command in $("$qwdump" --help | sed -n '/^Subcommands:$/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'); do
  # The usage line becomes the heading, the description its first
  # paragraph; the arguments and options follow without their captions.
  "$qwdump" "$command" --help | awk '
    !usage && /^Usage: / { usage = 1; print substr($0, 8) ":"; for (i = 1; i <= n; i++) print "  " text[i]; print ""; next }
    !usage { text[++n] = $0; next }
    /^(Positionals|Options):$/ || /^$/ || /^  -h,--help / { next }
    { print }'
  echo
done
