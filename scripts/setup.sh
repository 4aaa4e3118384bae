#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the boot proofs need.
# Idempotent: prints nothing and installs nothing when all packages are present.
set -euo pipefail

packages=(
  # native build and tests
  g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev googletest libssl-dev
  clang-format clang-tidy python3
  # Windows product build and its tests under Wine
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  # boot programs
  nasm clang lld
  # proofs on real peers
  qemu-system-x86 qemu-utils ovmf ovmf-ia32 mtools dosfstools
  chromium xvfb xauth imagemagick fonts-noto-cjk poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
run_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
export DEBIAN_FRONTEND=noninteractive
run_root apt-get update -qq
run_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
