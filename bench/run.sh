#!/usr/bin/env bash
# Throughput of the erase engine against dd (a benchmark, not a test).
# Usage: bash bench/run.sh [SIZES_MIB=1024,4096] [TARGET=/tmp/tvde-bench.img] [ROUNDS=3]
# For each size, each round measures on the same target:
#   writes: dd if=/dev/zero bs=4M oflag=direct (the reference), the same dd with conv=fsync (one
#     flush at the end, as the engine makes its data durable; on a loop device plain dd only
#     reaches the page cache of the backing file), dd with oflag=direct,dsync (write-through on
#     every write, for comparison), the engine's zero, three-byte pattern and random passes, and
#     the whole console-tool job (tvde-cli erase --real, zero-fill and random, --verify none, no
#     stamp, no reports; timed from process start to exit);
#   reads: dd of=/dev/null bs=4M iflag=direct (the reference) and the engine's full-surface
#     verification right after its zero and its random pass (every byte compared, the random
#     one against its regenerated stream);
#   the random-pass keystream alone on one thread, without a device.
# It runs on the target file and then, as root, on a loop device attached to that file, plain and
# with direct I/O. Medians of the rounds are printed with their ratio to their reference. The
# Windows build's passes, verification and keystream run once more under Wine, for information
# only (Wine writes through the page cache, and its CNG runs AES without the processor's AES
# instructions).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
IFS=, read -r -a sizes <<<"${1:-1024,4096}"
target=${2:-/tmp/tvde-bench.img}
rounds=${3:-3}

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
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"

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
    for run in dd dd_fsync dd_dsync zero verify-zero dd_read pattern random verify-random \
      keystream job_zero job_random; do
      case $run in
        dd | dd_fsync | dd_dsync)
          local flags=direct conv=notrunc
          [ $run = dd_dsync ] && flags=direct,dsync
          [ $run = dd_fsync ] && conv=notrunc,fsync
          t0=$(now)
          dd if=/dev/zero of="$device" bs=4M count="$chunks" oflag=$flags conv=$conv status=none
          t1=$(now)
          value=$(rate "$t0" "$t1") ;;
        dd_read)
          t0=$(now)
          dd if="$device" of=/dev/null bs=4M count="$chunks" iflag=direct status=none
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

  med() { tr ' ' '\n' <<<"${results[$1]}" | grep . | median; }
  row() {  # label run reference-run
    awk -v l="$1" -v v="$(med "$2")" -v d="$(med "$3")" -v r="$3" \
      'BEGIN { printf "| %-48s | %9.1f | %7.1f%% | %-8s |\n", l, v, 100 * v / d, r }'
  }
  echo
  echo "| $label: median of $rounds, $size_mib MiB" | awk '{ printf "%-51s|     MiB/s | of ref.  | ref.     |\n", $0 }'
  echo "|--------------------------------------------------|-----------|----------|----------|"
  row "dd if=/dev/zero bs=4M oflag=direct" dd dd
  row "dd ... oflag=direct conv=fsync" dd_fsync dd
  row "dd if=/dev/zero bs=4M oflag=direct,dsync" dd_dsync dd
  row "engine zero pass" zero dd
  row "engine three-byte pattern pass" pattern zero
  row "engine random pass" random zero
  row "tvde-cli erase --standard zero-fill (job)" job_zero dd
  row "tvde-cli erase --standard random (job)" job_random zero
  row "dd of=/dev/null bs=4M iflag=direct" dd_read dd_read
  row "engine full verification after the zero pass" verify-zero dd_read
  row "engine full verification after the random pass" verify-random dd_read
  row "random-pass keystream, one thread, no device" keystream keystream
  echo
}

for size_mib in "${sizes[@]}"; do
  size_mib=$((size_mib / 4 * 4))
  [ "$size_mib" -ge 4 ] || { echo "size must be at least 4 MiB"; exit 2; }
  chunks=$((size_mib / 4))
  # Allocate every block once so that no measured run pays for allocation.
  dd if=/dev/zero of="$target" bs=4M count="$chunks" oflag=direct conv=notrunc status=none
  measure "$target" "file"
  if [ "$(id -u)" -eq 0 ] && command -v losetup >/dev/null; then
    # A plain loop device serves reads from the backing file's page cache (memory speed); one
    # with direct I/O passes every transfer to the file unbuffered, as a disk would take it.
    for io in off on; do
      loop=$(losetup --find --show --direct-io=$io "$target")
      trap 'losetup -d "$loop" 2>/dev/null || true' EXIT
      label="loop device"
      [ $io = on ] && label="loop device, direct I/O"
      measure "$loop" "$label"
      losetup -d "$loop"
      trap - EXIT
    done
  else
    echo "(not root: the loop-device run is skipped)"
  fi
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

if [ -n "$windows" ]; then
  export WINEPREFIX="$root/build/wine"
  bash "$root/cmake/wine-run.sh" --prepare
  wine_target="Z:$(tr '/' '\\' <<<"$target")"
  size_mib=$((${sizes[0]} / 4 * 4))
  # One unmeasured pass first: it moves the file into the page cache, where Wine writes.
  bash "$root/cmake/wine-run.sh" "$windows" "$wine_target" "$size_mib" zero >/dev/null
  for mode in zero pattern random verify-random keystream; do
    # CNG under Wine makes its keystream slowly: a smaller amount tells the rate as well.
    [ "$mode" = zero ] || [ "$mode" = pattern ] || size_mib=64
    value=$(bash "$root/cmake/wine-run.sh" "$windows" "$wine_target" "$size_mib" "$mode" |
      tr -d '\r' | awk '{ print $4 }')
    echo "Windows build under Wine, $mode, $size_mib MiB (information only): $value MiB/s"
  done
  /usr/lib/wine/wineserver -k 2>/dev/null || true
fi
