#!/usr/bin/env bash
# Builds a statically linked tvde-cli (no sanitizers) for the firmware test guest, which has no
# shared libraries: build/static/tools/tvde_cli/tvde-cli. Prints its path.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
[ -f build/static/build.ninja ] || cmake --preset static >/dev/null
cmake --build build/static --target tvde-cli >/dev/null
echo "$root/build/static/tools/tvde_cli/tvde-cli"
