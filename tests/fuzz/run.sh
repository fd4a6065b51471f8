#!/usr/bin/env bash
# Builds the fuzz targets into build/fuzz and runs each over a scratch copy of
# its committed corpus (so the corpus in git is never grown by a run).
#   run.sh short   20000 runs per target, for every change
#   run.sh long    two minutes per target
# Exits non-zero when a target crashes or its oracle disagrees; the input
# that did it is kept in build/fuzz/artifacts/.
set -euo pipefail

mode=${1:-short}
case "$mode" in
  short) budget=(-runs=20000) ;;
  long) budget=(-max_total_time=120) ;;
  *) echo "usage: $0 short|long" >&2; exit 2 ;;
esac

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build/fuzz"

if [[ ! -f "$build/build.ninja" ]]; then
  CXX=clang++-14 cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
# Re-run the configure step so targets whose sources appeared since are picked up.
cmake "$build" >/dev/null
cmake --build "$build"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/artifacts"

failed=()
for corpus in "$here"/corpus/*/; do
  target=$(basename "$corpus")
  if [[ ! -x "$build/$target" ]]; then
    echo "== $target: not built (its sources are not there yet), skipped"
    continue
  fi
  echo "== $target ($mode)"
  cp -r "$corpus" "$scratch/$target"
  if ! "$build/$target" "${budget[@]}" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" "$scratch/$target" >"$scratch/$target.log" 2>&1; then
    tail -n 40 "$scratch/$target.log"
    failed+=("$target")
  else
    grep -E '^(Done|stat::number_of_executed_units)' "$scratch/$target.log" || true
  fi
done

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "all fuzz targets passed"
