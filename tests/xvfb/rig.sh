# The Xvfb rig for tests of the real window, sourced by their scripts:
#   xvfb_start             a private Xvfb; exports DISPLAY and XDG_RUNTIME_DIR
#   rig_spawn NAME CMD...  CMD in the background, output in $work/NAME.out|err
#   wait_viewable TITLE    until a window of that title is mapped
#   poll N CMD...          CMD every 50 ms until it succeeds, at most N times
# At exit everything started is stopped by its pid, Xvfb last.

# The window's own words go with a failure: they say what it made of the input.
fail() {
  echo "FAIL: $*" >&2
  for said in "${work:-}/app.out" "${work:-}/app.err"; do
    [ -s "$said" ] && { echo "--- $(basename "$said"):" >&2; tail -n 20 "$said" >&2; }
  done
  # The whole screen: an alert or question stands beside the window.
  [ -n "${out_dir:-}" ] && [ -n "${DISPLAY:-}" ] && mkdir -p "$out_dir" && import -window root "$out_dir/failed.png" 2>/dev/null
  exit 1
}

for tool in Xvfb xwininfo xprop xdotool import convert; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh test"
done

work=$(mktemp -d /tmp/quarven-XXXXXX)
rig_pids=()
xvfb_pid=
rig_stop() {
  local pid
  for pid in "${rig_pids[@]}" $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap rig_stop EXIT

poll() {
  local times=$1
  shift
  for _ in $(seq "$times"); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

xvfb_start() {
  mkdir -m 700 "$work/runtime"
  export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY
  # Xvfb picks a free display itself and writes its number to fd 3.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  poll 200 test -s "$work/display" || fail "Xvfb gave no display number: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(head -n1 "$work/display")"
}

rig_spawn() {
  local name=$1
  shift
  "$@" >"$work/$name.out" 2>"$work/$name.err" &
  rig_pids+=($!)
}

viewable() { xwininfo -name "$1" 2>/dev/null | grep -q IsViewable; }
hidden() { ! viewable "$1"; }
wait_viewable() { poll 200 viewable "$1" || fail "window \"$1\" never became viewable"; }

# A field of xwininfo's report, e.g. "Absolute upper-left X".
window_field() { xwininfo -name "$1" | sed -n "s/^ *$2: *//p"; }

window_id() { xwininfo -name "$1" | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p'; }

# Pixels of exactly one colour in a picture.
count_colour() {
  convert "$1" -alpha off -fill white +opaque "$2" -fill black -opaque "$2" -colorspace gray \
    -format '%[fx:round(w*h*(1-mean))]' info:
}
