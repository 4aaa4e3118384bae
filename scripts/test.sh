#!/usr/bin/env bash
# Installs what is missing, then builds the three presets and runs every test: natively (gcc,
# ASan+UBSan), the 64-bit Windows build under Wine and the 32-bit one (the program of x86 WinPE
# media) under Wine's 32-bit side.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
bash scripts/check-format.sh
python3 scripts/check-layers.py

start=$(date +%s)
echo "== native: configure, build, test"
cmake --workflow --preset native
native_done=$(date +%s)

echo "== windows: configure, build, test under Wine"
export WINEPREFIX="$root/build/wine"
# cmake/wine-run.sh keeps one persistent, warmed-up wineserver for the whole run; stop it at
# the end so that no Wine process outlives the tests.
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
cmake --workflow --preset windows
windows_done=$(date +%s)

echo "== windows-x86: configure, build, test under 32-bit Wine"
cmake --workflow --preset windows-x86
end=$(date +%s)

echo "== all tests passed (native $((native_done - start)) s, windows $((windows_done - native_done)) s, windows-x86 $((end - windows_done)) s)"
