#!/usr/bin/env bash
# Installs what is missing, builds the Windows program and starts it under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows

exe="$root/build/windows/src/app/TorevalDiskEraser.exe"
if [ ! -f "$exe" ]; then
  echo "Windows build ready under $root/build/windows (the product executable is not part of the build yet)."
  exit 0
fi
