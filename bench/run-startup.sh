#!/usr/bin/env bash
# Runs StartupBench on a private X server with a tray host.
#     bench/run-startup.sh BUILD [StartupBench options]
set -euo pipefail
build="$(cd "${1:?usage: run-startup.sh BUILD [options]}" && pwd)"
shift
fifo="$(mktemp -u)"; mkfifo "$fifo"
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp 4>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r display < "$fifo"; rm -f "$fifo"
export DISPLAY=":$display"
trayer --edge top --align right --widthtype request --height 24 --SetDockType true >/dev/null 2>&1 &
trayer=$!
trap 'kill $trayer $xvfb 2>/dev/null || true' EXIT
sleep 1
"$build/bench/StartupBench" "$build/Zelvant" "$build/bench/MinimalTray" "$@"
