#!/usr/bin/env bash
# Overwrite throughput of the erase engine against dd, on one target file (a benchmark, not a
# test). Usage: bash bench/run.sh [SIZE_MIB=1024] [TARGET=/tmp/tvde-bench.img] [ROUNDS=3]
# Each round measures, on the same file: dd if=/dev/zero bs=4M oflag=direct (the reference),
# dd with oflag=direct,dsync (the same write-through mode as the engine's handle), then the
# engine's zero, three-byte pattern and random passes (native Release build). The Windows
# build's passes run once more under Wine, for information only (Wine writes through the page
# cache). Medians of the rounds are printed with their ratio to the dd reference.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
size_mib=$(( ${1:-1024} / 4 * 4 ))
target=${2:-/tmp/tvde-bench.img}
rounds=${3:-3}
[ "$size_mib" -ge 4 ] || { echo "size must be at least 4 MiB"; exit 2; }
chunks=$(( size_mib / 4 ))

echo "== building (native Release without sanitizers, and the Windows build)"
cmake -S "$root" -B "$root/build/bench-native" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTVDE_SANITIZE=OFF -DTVDE_WERROR=ON >/dev/null
cmake --build "$root/build/bench-native" --target tvde_erase_bench >/dev/null
native="$root/build/bench-native/bench/tvde_erase_bench"
windows=""
if cmake --preset windows >/dev/null 2>&1 &&
  cmake --build --preset windows --target tvde_erase_bench >/dev/null 2>&1; then
  windows="$root/build/windows/bench/tvde_erase_bench.exe"
fi

echo "== target $target, $size_mib MiB, $rounds rounds"
# Allocate every block once so that no measured run pays for allocation.
dd if=/dev/zero of="$target" bs=4M count="$chunks" oflag=direct conv=notrunc status=none

now() { date +%s.%N; }
dd_run() {  # prints MiB/s
  local flags=$1 t0 t1
  t0=$(now)
  dd if=/dev/zero of="$target" bs=4M count="$chunks" oflag="$flags" conv=notrunc status=none
  t1=$(now)
  awk -v s="$size_mib" -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f\n", s / (b - a) }'
}
engine_run() {  # prints MiB/s
  "$native" "$target" "$size_mib" "$1" | awk '{ print $4 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A results
for ((r = 1; r <= rounds; r++)); do
  line="   round $r (MiB/s):"
  for run in dd dd_dsync zero pattern random; do
    case $run in
      dd) value=$(dd_run direct) ;;
      dd_dsync) value=$(dd_run direct,dsync) ;;
      *) value=$(engine_run "$run") ;;
    esac
    results[$run]+="$value "
    line+=" $run $value"
  done
  echo "$line"
done

reference=$(tr ' ' '\n' <<<"${results[dd]}" | grep . | median)
zero=$(tr ' ' '\n' <<<"${results[zero]}" | grep . | median)
row() {  # label value
  awk -v l="$1" -v v="$2" -v d="$reference" -v z="$zero" \
    'BEGIN { printf "| %-40s | %9.1f | %7.1f%% | %7.1f%% |\n", l, v, 100 * v / d, 100 * v / z }'
}
echo
echo "| run (median of $rounds, $size_mib MiB)              |     MiB/s |  vs dd   | vs zero  |"
echo "|------------------------------------------|-----------|----------|----------|"
row "dd if=/dev/zero bs=4M oflag=direct" "$reference"
row "dd if=/dev/zero bs=4M oflag=direct,dsync" "$(tr ' ' '\n' <<<"${results[dd_dsync]}" | grep . | median)"
row "engine zero pass (native)" "$zero"
row "engine three-byte pattern pass (native)" "$(tr ' ' '\n' <<<"${results[pattern]}" | grep . | median)"
row "engine random pass (native)" "$(tr ' ' '\n' <<<"${results[random]}" | grep . | median)"

if [ -n "$windows" ]; then
  export WINEPREFIX="$root/build/wine"
  bash "$root/cmake/wine-run.sh" --prepare
  wine_target="Z:$(tr '/' '\\' <<<"$target")"
  # One unmeasured pass first: it moves the file into the page cache, where Wine writes.
  bash "$root/cmake/wine-run.sh" "$windows" "$wine_target" "$size_mib" zero >/dev/null
  for kind in zero pattern random; do
    value=$(bash "$root/cmake/wine-run.sh" "$windows" "$wine_target" "$size_mib" "$kind" |
      tr -d '\r' | awk '{ print $4 }')
    row "Windows build under Wine: $kind (info)" "$value"
  done
  /usr/lib/wine/wineserver -k 2>/dev/null || true
fi
