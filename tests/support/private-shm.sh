#!/bin/sh
# Runs a command in a mount namespace of its own with a private tmpfs on
# /dev/shm, where libjack and jackd keep their state: nothing the command or
# its children do there (a JACK server killed, a client cut off midway) can
# touch the machine's JACK, and nothing left there by others can touch them.
#
#   private-shm.sh COMMAND [ARG...]
set -eu
map=
[ "$(id -u)" -eq 0 ] || map=--map-root-user
# shellcheck disable=SC2016
exec unshare --mount $map sh -c 'mount -t tmpfs -o mode=1777 qwd-shm /dev/shm && exec "$@"' private-shm "$@"
