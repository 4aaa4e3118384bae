#!/usr/bin/env bash
# Runs a Windows executable under Wine in the project's own prefix, creating it on first use.
# No dialogs, no debug noise, no X server needed for console programs.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${TVDE_WINEPREFIX:-$here/../build/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
export WINEARCH=win64
wine=/usr/lib/wine/wine64

if [ ! -f "$WINEPREFIX/.tvde-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tvde-ready" ]; then
      "$wine" wineboot --init >/dev/null 2>&1 9>&-
      reg() { "$wine" reg add "$@" /f >/dev/null 2>&1 9>&-; }
      reg 'HKCU\Software\Wine' /v Version /d win10
      for face in "Yu Gothic UI" "Meiryo UI" "MS UI Gothic"; do
        reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "Noto Sans CJK JP"
      done
      reg 'HKCU\Software\Wine\Fonts\Replacements' /v "MS Gothic" /d "Noto Sans Mono CJK JP"
      /usr/lib/wine/wineserver -w
      # Wine links Documents, Desktop and the like to the host's home folder; keep everything
      # the programs write inside the prefix instead.
      for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm "$link" && mkdir -p "$link"; fi
      done
      touch "$WINEPREFIX/.tvde-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# Windows go to the X display when there is one (screenshots), else to Wine's null graphics
# driver, so that tests create and drive real windows without X. A step of its own so that
# prefixes made before it get it too.
if [ ! -f "$WINEPREFIX/.tvde-graphics" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tvde-graphics" ]; then
      "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d 'x11,null' /f \
        </dev/null >/dev/null 2>&1 9>&-
      touch "$WINEPREFIX/.tvde-graphics"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# 32-bit programs (the x86 build) need the prefix's 32-bit side; a prefix made before wine32 was
# installed gets it on the next update.
if [ -x /usr/lib/wine/wine ] && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
      "$wine" wineboot --update </dev/null >/dev/null 2>&1 9>&-
      /usr/lib/wine/wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# Wine starts its helper processes (services, device manager) with the first program of a
# server's life, and they inherit that program's standard handles: started from a test, they
# would hold ctest's pipes open and stall it. So each new server is started here, persistent,
# and warmed up with a program whose handles lead nowhere.
(
  flock 9
  # fd 9 is closed for Wine's processes: the daemons would otherwise hold the lock for ever.
  if /usr/lib/wine/wineserver -p 120 2>/dev/null 9>&-; then
    "$wine" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$WINEPREFIX.server.lock"

[ "${1:-}" = "--prepare" ] && exit 0
exec "$wine" "$@"
