#!/usr/bin/env bash
# Runs every benchmark on a private Xvfb display and prints its figures, each
# after the command that reproduces it.
#   bench/run.sh BUILD_DIR [quick]
# "quick" shortens the runs (fewer start-ups, 10 s idle, 2 MB monitor, one
# factory run) for a look that does not take ten minutes; the recorded figures
# use the full form.
set -euo pipefail

build=${1:?usage: bench/run.sh BUILD_DIR [quick]}
quick=${2:-}
runs=15 idle_seconds=60 monitor_mb=40 factory_runs=5 cli_runs=30
if [[ $quick == quick ]]; then
  runs=5 idle_seconds=10 monitor_mb=2 factory_runs=1 cli_runs=10
fi
# The session record of the runs goes to a folder of their own.
XDG_STATE_HOME=$(mktemp -d)
export XDG_STATE_HOME

# A display of our own, with no window manager: the start-up figure is the
# time until the X server maps the program's window.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start on $display" >&2; exit 1; }
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

bench=$build/bench
step() {
  echo
  echo "\$ DISPLAY=<Xvfb> $*"
  "$@"
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "Qt: $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo unknown)"
step "$bench/bench_startup" "$runs" "$build/app/zelqon" "$bench/bench_bare_window"
step "$bench/bench_click_to_line" 500
step "$bench/bench_idle" "$idle_seconds"
step "$bench/bench_monitor" lines "$monitor_mb"
step "$bench/bench_monitor" unbroken "$monitor_mb"
step "$bench/bench_factory_gaps" "$factory_runs"
step "$bench/bench_cli_first_byte" "$build/cli/zelqon-cli" "$cli_runs"
step "$bench/bench_network" "$build/cli/zelqon-cli" "$cli_runs" "$factory_runs" "$idle_seconds"
