#!/usr/bin/env bash
# Starts the program on a virtual X display and saves a screenshot of its
# window: scripts/screenshot.sh BINARY OUTPUT.png [WIDTHxHEIGHT]
# With a size, the window is enlarged to that client size first (the monitor
# lies below the fixed layout area).
set -euo pipefail
binary=$1
output=$2
size=${3:-}

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$app" "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

QT_QPA_PLATFORM=xcb "$binary" &
app=$!
window=
for _ in $(seq 100); do
  window=$(xdotool search --name '^ZELQON$' 2>/dev/null | head -n 1 || true)
  [[ -n "$window" ]] && break
  sleep 0.1
done
[[ -n "$window" ]] || { echo "the window did not appear" >&2; exit 1; }
if [[ -n "$size" ]]; then
  xdotool windowmove "$window" 0 0
  xdotool windowsize "$window" "${size%x*}" "${size#*x}"
fi
sleep 1
import -window "$window" "$output"
echo "saved $output"
