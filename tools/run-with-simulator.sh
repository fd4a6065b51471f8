#!/bin/sh
# Starts the module simulator on a pseudo-terminal under the alias COM3, runs
# the window in front, and stops the simulator when the window closes.
set -eu
build="$1"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): VARK needs a desktop session." >&2
  exit 1
fi

fifo_dir=$(mktemp -d)
mkfifo "$fifo_dir/out"
"$build/simulator/tarvik-sim" --pty --name COM3 --loopback >"$fifo_dir/out" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$fifo_dir"' EXIT INT TERM

# The first line says where it serves; then its transactions go to the terminal.
exec 3<"$fifo_dir/out"
read -r where <&3
echo "Simulated module (station 8) on $where, reachable as COM3. Click \"Připojit\"."
cat <&3 &

"$build/app/vark"
