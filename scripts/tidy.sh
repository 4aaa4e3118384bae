#!/usr/bin/env bash
# Runs clang-tidy (the project's .clang-tidy) over the portable and POSIX sources of the native
# build; pass file paths to check only those. Fails on any warning.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
[ -f build/native/compile_commands.json ] || cmake --preset native >/dev/null
if [ $# -gt 0 ]; then files=("$@"); else
  mapfile -t files < <(git ls-files 'src/*.cpp' 'tools/*.cpp' 'bench/*.cpp' | grep -v '/win/' | grep -v '_win\.cpp$' | grep -v '^src/app/' | grep -v '^src/winpe/' | grep -v '^tools/gui_shot/')
fi
out=$(clang-tidy -p build/native --quiet "${files[@]}" 2>/dev/null | grep -E '(warning|error):' || true)
if [ -n "$out" ]; then echo "$out"; exit 1; fi
echo "clang-tidy: ${#files[@]} files clean"
