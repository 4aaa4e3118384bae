#!/usr/bin/env bash
# Overwrite throughput of the erase engine against dd (a benchmark, not a test).
# Usage: bash bench/run.sh [SIZE_MIB=1024] [TARGET=/tmp/tvde-bench.img] [ROUNDS=3]
# Each round measures, on the same target: dd if=/dev/zero bs=4M oflag=direct (the reference),
# the same dd with conv=fsync (one flush at the end, as the engine makes its data durable; on a
# loop device plain dd only reaches the page cache of the backing file), dd with
# oflag=direct,dsync (write-through on every write, for comparison), the engine's zero,
# three-byte pattern and random passes, and the whole console-tool job (tvde-cli erase --real,
# zero-fill and random, --verify none, no stamp, no reports; timed from process start to exit).
# It runs on the target file and then, as root, on a loop device attached to that file. Medians
# of the rounds are printed with their ratio to dd and to the zero pass. The Windows build's
# passes run once more under Wine, for information only (Wine writes through the page cache).
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
cmake --build "$root/build/bench-native" --target tvde_erase_bench tvde-cli >/dev/null
native="$root/build/bench-native/bench/tvde_erase_bench"
cli="$root/build/bench-native/tools/tvde_cli/tvde-cli"
windows=""
if cmake --preset windows >/dev/null 2>&1 &&
  cmake --build --preset windows --target tvde_erase_bench >/dev/null 2>&1; then
  windows="$root/build/windows/bench/tvde_erase_bench.exe"
fi

# Allocate every block once so that no measured run pays for allocation.
dd if=/dev/zero of="$target" bs=4M count="$chunks" oflag=direct conv=notrunc status=none

now() { date +%s.%N; }
rate() { awk -v s="$size_mib" -v a="$1" -v b="$2" 'BEGIN { printf "%.1f\n", s / (b - a) }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

measure() {  # device label: prints the table of medians for one target
  local device=$1 label=$2 run value line t0 t1
  local -a job_flags=(--real --verify none --no-stamp --no-reports)
  [ -b "$device" ] && job_flags+=(--block-device --confirm "ERASE $device")
  declare -A results=()
  echo "== $label: $device, $size_mib MiB, $rounds rounds"
  for ((r = 1; r <= rounds; r++)); do
    line="   round $r (MiB/s):"
    for run in dd dd_fsync dd_dsync zero pattern random job_zero job_random; do
      case $run in
        dd | dd_fsync | dd_dsync)
          local flags=direct conv=notrunc
          [ $run = dd_dsync ] && flags=direct,dsync
          [ $run = dd_fsync ] && conv=notrunc,fsync
          t0=$(now)
          dd if=/dev/zero of="$device" bs=4M count="$chunks" oflag=$flags conv=$conv status=none
          t1=$(now)
          value=$(rate "$t0" "$t1") ;;
        job_*)
          local standard=zero-fill
          [ $run = job_random ] && standard=random
          t0=$(now)
          "$cli" erase "$device" --standard $standard "${job_flags[@]}" >/dev/null </dev/null
          t1=$(now)
          value=$(rate "$t0" "$t1") ;;
        *) value=$("$native" "$device" "$size_mib" "$run" | awk '{ print $4 }') ;;
      esac
      results[$run]+="$value "
      line+=" $run $value"
    done
    echo "$line"
  done

  local reference zero
  reference=$(tr ' ' '\n' <<<"${results[dd]}" | grep . | median)
  zero=$(tr ' ' '\n' <<<"${results[zero]}" | grep . | median)
  row() {  # label run
    local v
    v=$(tr ' ' '\n' <<<"${results[$2]}" | grep . | median)
    awk -v l="$1" -v v="$v" -v d="$reference" -v z="$zero" \
      'BEGIN { printf "| %-44s | %9.1f | %7.1f%% | %7.1f%% |\n", l, v, 100 * v / d, 100 * v / z }'
  }
  echo
  echo "| $label: median of $rounds, $size_mib MiB" | awk '{ printf "%-47s|     MiB/s |  vs dd   | vs zero  |\n", $0 }'
  echo "|----------------------------------------------|-----------|----------|----------|"
  row "dd if=/dev/zero bs=4M oflag=direct" dd
  row "dd ... oflag=direct conv=fsync" dd_fsync
  row "dd if=/dev/zero bs=4M oflag=direct,dsync" dd_dsync
  row "engine zero pass" zero
  row "engine three-byte pattern pass" pattern
  row "engine random pass" random
  row "tvde-cli erase --standard zero-fill (job)" job_zero
  row "tvde-cli erase --standard random (job)" job_random
  echo
}

measure "$target" "file"

if [ "$(id -u)" -eq 0 ] && command -v losetup >/dev/null; then
  loop=$(losetup --find --show "$target")
  trap 'losetup -d "$loop" 2>/dev/null || true' EXIT
  measure "$loop" "loop device"
  losetup -d "$loop"
  trap - EXIT
else
  echo "(not root: the loop-device run is skipped)"
fi

if [ -n "$windows" ]; then
  export WINEPREFIX="$root/build/wine"
  bash "$root/cmake/wine-run.sh" --prepare
  wine_target="Z:$(tr '/' '\\' <<<"$target")"
  # One unmeasured pass first: it moves the file into the page cache, where Wine writes.
  bash "$root/cmake/wine-run.sh" "$windows" "$wine_target" "$size_mib" zero >/dev/null
  for kind in zero pattern random; do
    value=$(bash "$root/cmake/wine-run.sh" "$windows" "$wine_target" "$size_mib" "$kind" |
      tr -d '\r' | awk '{ print $4 }')
    echo "Windows build under Wine, $kind pass (information only): $value MiB/s"
  done
  /usr/lib/wine/wineserver -k 2>/dev/null || true
fi
