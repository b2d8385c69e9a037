#!/usr/bin/env bash
# How often the window's main thread wakes while it sits idle for 6 s and
# then exits on SIGTERM: its poll, ppoll, epoll_wait and select calls, as
# strace sees them, against the target of at most 60. A wait that spins
# shows here as hundreds of calls within the exit alone. Each case runs
# offscreen in a /dev/shm of its own:
#   none    no JACK server (the MIDI systems find nothing)
#   jack    a private JACK server (dummy driver)
#   frozen  the same server, stopped (SIGSTOP) just before the SIGTERM
#
#   bench/exit-wakeups.sh [BUILD_DIR [CASE...]]
set -euo pipefail
cd "$(dirname "$0")/.."

# Inside the private /dev/shm: one case, printing "CASE CALLS EXIT-CALLS STATUS".
if [ -n "${QWD_EXIT_WAKEUPS_APP:-}" ]; then
  kind=$1 work=$2 app=$QWD_EXIT_WAKEUPS_APP
  if [ "$kind" != none ] && [ -n "${QWD_NO_PRIVATE_SHM:-}" ]; then
    echo "$kind - - skipped: $QWD_NO_PRIVATE_SHM"
    exit 0
  fi
  export XDG_RUNTIME_DIR="$work/runtime" HOME="$work" QT_QPA_PLATFORM=offscreen
  export JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER="qwd-exit-$$"
  jackd_pid=
  if [ "$kind" != none ]; then
    jackd -n "$JACK_DEFAULT_SERVER" --no-realtime --port-max 64 -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
    jackd_pid=$!
    for _ in $(seq 100); do jack_lsp >/dev/null 2>&1 && break; sleep 0.05; done
  fi
  strace -f -tt -o "$work/trace" -e trace=poll,ppoll,epoll_wait,epoll_pwait,select,pselect6 \
    "$app" >"$work/window.log" 2>&1 &
  strace_pid=$!
  sleep 0.5
  window=$(pgrep -P "$strace_pid")
  sleep 5.5
  [ "$kind" != frozen ] || kill -STOP "$jackd_pid"
  signalled=$(date +%H:%M:%S.%N | cut -c1-15)
  kill -TERM "$window"
  status=0
  wait "$strace_pid" || status=$?
  if [ -n "$jackd_pid" ]; then
    kill -CONT "$jackd_pid"
    kill -TERM "$jackd_pid"
    wait "$jackd_pid" || true
  fi
  # A call strace shows cut in two ("<... resumed>") is counted once.
  calls=$(grep -c "^$window [0-9:.]* [a-z_0-9]*(" "$work/trace" || true)
  after=$(awk -v pid="$window" -v t="$signalled" '$1 == pid && $2 >= t && $3 ~ /^[a-z_0-9]+\(/' "$work/trace" | wc -l)
  echo "$kind $calls $after $status"
  exit 0
fi

build_dir=$(realpath "${1:-build}")
shift || true
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(none jack frozen)
app="$build_dir/ui/quarven-wave-dump"
[ -x "$app" ] || { echo "missing $app: build the project first" >&2; exit 1; }
command -v strace >/dev/null || { echo "strace is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-8s %-28s %-20s %s\n' case "main thread's wake-up calls" "of them after SIGTERM" "target"
worst=0
for kind in "${cases[@]}"; do
  mkdir -p "$work/$kind/runtime"
  chmod 700 "$work/$kind/runtime"
  read -r _ calls after status < <(QWD_EXIT_WAKEUPS_APP="$app" tests/support/private-shm.sh "$0" "$kind" "$work/$kind")
  printf '%-8s %-28s %-20s %s\n' "$kind" "$calls" "$after" "<= 60 (exit status $status)"
  [ "$calls" = - ] || [ "$calls" -le "$worst" ] || worst=$calls
done
[ "$worst" -le 60 ]
