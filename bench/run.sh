#!/usr/bin/env bash
# bench/run.sh BUILD_DIR: runs every benchmark against the programs of a
# configured and built (release) tree, prints a table and, at the end, one
# line "figure NAME VALUE" per figure.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: bench/run.sh BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
sim="$build/simulator/tarvik-sim"
for program in "$sim" "$build/app/vark" "$build/bench/vark_bench_form" "$build/bench/vark_bench_launcher" \
               "$build/bench/vark_bench_bare" "$build/bench/vark_bench_startup"; do
  [[ -x $program ]] || { echo "bench/run.sh: $program is missing: build $build first" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "bench/run.sh: Xvfb is missing (apt-get install xvfb)" >&2; exit 1; }

work=$(mktemp -d /tmp/vark-bench-XXXXXX)
xvfb_pid=""
sim_pid=""
cleanup() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work"  # our own alias folder: COM3 is the simulator's
figures="$work/figures"
: >"$figures"

collect() { tee /dev/stderr | grep '^figure ' >>"$figures" || true; }

echo "== window handlers against the simulator (offscreen)" >&2
QT_QPA_PLATFORM=offscreen "$build/bench/vark_bench_form" 2>&1 | collect

# A display of our own: the first number with neither a lock nor a socket.
display=""
for n in $(seq 91 160); do
  if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then display=$n; break; fi
done
[[ -n $display ]] || { echo "bench/run.sh: no free X display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -e /tmp/.X11-unix/X$display ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb

echo "== start-up and memory against a bare window (Xvfb :$display)" >&2
"$build/bench/vark_bench_startup" "$build/bench/vark_bench_launcher" "$build/bench/vark_bench_bare" 15 2>&1 | collect

echo "== the connected window left alone for 10 s (Xvfb :$display)" >&2
"$sim" --pty --name COM3 --quiet >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  grep -q '^alias ' "$work/sim.out" 2>/dev/null && break
  sleep 0.05
done
idle=$("$build/bench/vark_bench_launcher" --idle 10 | grep '^wakeups ' | cut -d' ' -f2)
[[ -n $idle ]] || { echo "bench/run.sh: the idle run gave no figure" >&2; exit 1; }
echo "  voluntary context switches per second: $idle" >&2
echo "figure idle_wakeups $idle" >>"$figures"

# name, target, how it compares; a figure without a target is informative.
targets=(
  "transactions.connect 0 =" "transactions.config_read 1 =" "transactions.config_write 1 ="
  "transactions.input_read 1 =" "transactions.output_click 1 ="
  "wire_ratio.config_read 1.05 <=" "wire_ratio.config_write 1.05 <=" "wire_ratio.input_read 1.05 <="
  "wire_ratio.output_click 1.05 <=" "absent_module_ms 1000 <=" "startup_ratio 1.3 <=" "rss_ratio 1.15 <="
  "idle_wakeups 1 <="
)
echo
printf '%-28s %12s %10s  %s\n' figure value target verdict
while read -r _ name value; do
  target="" verdict=""
  for t in "${targets[@]}"; do
    read -r tname tvalue top <<<"$t"
    [[ $tname == "$name" ]] || continue
    target="$top $tvalue"
    if awk -v v="$value" -v t="$tvalue" -v op="$top" 'BEGIN { exit !((op == "=" && v == t) || (op == "<=" && v <= t)) }'; then
      verdict=met
    else
      verdict=MISSED
    fi
  done
  printf '%-28s %12s %10s  %s\n' "$name" "$value" "$target" "$verdict"
done <"$figures"
echo
cat "$figures"
