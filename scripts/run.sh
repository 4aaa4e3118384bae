#!/usr/bin/env bash
# Installs what is missing, builds the Windows program (64-bit, with the 32-bit build beside it as
# TorevalDiskEraser_x86.exe, the program of x86 WinPE media) and starts it under Wine. With a display
# (DISPLAY set) that is the main window. Without one it is the headless self-test (one simulated
# NIST Purge job with its certificate files and a stamp image written into a scratch file),
# followed by where the certificate files went and screenshots of the main window.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 --target TorevalDiskEraser
cp build/windows-x86/src/app/TorevalDiskEraser.exe build/windows/src/app/TorevalDiskEraser_x86.exe

export WINEPREFIX="$root/build/wine"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
exe="$root/build/windows/src/app/TorevalDiskEraser.exe"

if [ -n "${DISPLAY:-}" ]; then
  echo "== wine TorevalDiskEraser.exe (main window on display $DISPLAY)"
  # A server left from a run without display would keep Wine's null graphics driver.
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  cmake/wine-run.sh "$exe"
  exit $?
fi

marker=$(mktemp)

echo "== wine TorevalDiskEraser.exe --self-test"
set +e
cmake/wine-run.sh "$exe" --self-test
code=$?
set -e
case $code in
  0) verdict="every check passed" ;;
  1) verdict="the job did not complete" ;;
  2) verdict="the stamp payload is incomplete" ;;
  3) verdict="the HTML certificate is missing" ;;
  4) verdict="the hardware profile lacks manufacturer or processor" ;;
  5) verdict="writing the stamp image failed" ;;
  6) verdict="the configured signing key could not sign the reports" ;;
  *) verdict="unexpected exit code" ;;
esac
echo "self-test exit code $code: $verdict"

mapfile -t reports < <(find "$WINEPREFIX/drive_c/users" -newer "$marker" -type f \
  \( -name '*_Certificate.html' -o -name '*_AuditLog.txt' -o -name '*_Report.json' \) | sort)
rm -f "$marker"
if [ ${#reports[@]} -gt 0 ]; then
  echo "certificate files (Windows path: Documents\\Toreval Disk Eraser Certificates):"
  printf '  %s\n' "${reports[@]}"
  txt=$(printf '%s\n' "${reports[@]}" | grep '_AuditLog.txt$' | head -n 1)
  [ -n "$txt" ] && { echo; tr -d '\r' < "$txt"; }
fi

echo
echo "== no display: screenshots of the main window instead (Xvfb)"
if bash scripts/screenshots.sh; then
  echo "open build/windows/screenshots/main-window-96dpi.png to see the main window"
else
  echo "screenshots could not be made"
fi
exit $code
