#!/bin/sh
# Runs a command in a mount namespace of its own with a private tmpfs on
# /dev/shm, where libjack and jackd keep their state: nothing the command or
# its children do there (a JACK server killed, a client cut off midway) can
# touch the machine's JACK, and nothing left there by others can touch them.
#
#   private-shm.sh COMMAND [ARG...]
#
# The tmpfs must never show on the machine's /dev/shm. Before mounting it,
# the mount that holds /dev/shm is made private in the new namespace: were it
# shared (systemd makes every mount shared, and a chroot's /dev bound from the
# machine's stays a peer of it), the tmpfs would be passed back. `/` is left
# as it is, since in a chroot it is no mount point and making it private
# fails there.
#
# Where no private /dev/shm can be had (an ordinary user in a chroot, where
# the kernel refuses a user namespace; a container that forbids mount
# namespaces), the command runs all the same, pointed at a JACK server that
# does not exist and told why in QWD_NO_PRIVATE_SHM: the tests that would
# start JACK skip, giving that reason, and nothing reaches the machine's JACK.
#
# Listing a test program's tests (--gtest_list_tests, which CMake's test
# discovery runs while building) needs none of this: that runs as it is.
set -eu

for arg in "$@"; do
  [ "$arg" != --gtest_list_tests ] || exec "$@"
done

map=
[ "$(id -u)" -eq 0 ] || map=--map-root-user
# shellcheck disable=SC2016
private='holder=$(findmnt -n -f -o TARGET -T /dev/shm) && mount --make-private "$holder" &&
  mount -t tmpfs -o mode=1777 qwd-shm /dev/shm'

# Tried once on its own, so that a failure is told from the command's own.
if failure=$(unshare --mount $map --propagation unchanged sh -c "$private" 2>&1); then
  exec unshare --mount $map --propagation unchanged sh -c "$private"' && exec "$@"' private-shm "$@"
fi
failure=$(printf '%s\n' "$failure" | head -n 1)
export QWD_NO_PRIVATE_SHM="none could be made here (${failure:-unshare failed})"
export JACK_DEFAULT_SERVER="qwd-no-server-$$" JACK_NO_START_SERVER=1
exec "$@"
