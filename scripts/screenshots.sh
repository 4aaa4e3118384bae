#!/usr/bin/env bash
# Screenshots of the main window under Xvfb + Wine, written to build/windows/screenshots/:
#   main-window-96dpi.png, main-window-144dpi.png   the real program as it starts
#   after-simulated-job-96dpi.png                   the same window after a simulated job, fed
#                                                   with sample disks (Wine lists no disks)
#   winpe-section-96dpi.png                         the WinPE section after a fake ADK was
#                                                   detected, with one removable drive
#   report-dialog-{96,144}dpi.png                   the report and stamp dialog of that job
#   folder-picker-{96,144}dpi.png                   the certificate-folder picker, a drive chosen
#   screen-1366x768-120dpi-{main,report}.png        the whole of a small screen: the window after
#   screen-1024x768-96dpi-{main,report}.png         the simulated job, fitted to the screen, and
#   screen-800x600-96dpi-{main,report}.png          the report dialog that job opens (800 x 600
#   screen-800x600-96dpi-scrolled.png               is below the readable size: the window scrolls,
#                                                   here to its bottom right)
# Uses its own Wine prefix (build/wine-screenshots) so that the DPI setting never reaches the
# tests' prefix.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if [ -z "${TVDE_SCREENSHOTS_IN_XVFB:-}" ]; then
  bash scripts/setup.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target TorevalDiskEraser tvde-gui-shot
  # 1732 x 1298 at 144 DPI: the screen is made larger than that.
  env TVDE_SCREENSHOTS_IN_XVFB=large xvfb-run -a -s '-screen 0 1920x1440x24' bash "$0"
  # Small screens, one X server each: the window fits the screen (no taskbar under Xvfb, so the
  # work area is the whole screen).
  for screen in 1366x768:120 1024x768:96 800x600:96; do
    env TVDE_SCREENSHOTS_IN_XVFB="$screen" xvfb-run -a -s "-screen 0 ${screen%:*}x24" bash "$0"
  done
  exit 0
fi

export TVDE_WINEPREFIX="$root/build/wine-screenshots"
export WINEPREFIX="$TVDE_WINEPREFIX"
exe="$root/build/windows/src/app/TorevalDiskEraser.exe"
shot="$root/build/windows/tools/gui_shot/tvde-gui-shot.exe"
out="$root/build/windows/screenshots"
mkdir -p "$out"
wine() { cmake/wine-run.sh "$@" </dev/null; }
stop_wine() { /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT

# Without a window manager on the display, Wine draws the window frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null

set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  stop_wine  # the next server reads the new DPI
}

# The real program: wait for its window, cut it out of the screen, close it.
program_shot() {
  wine "$exe" &
  local program=$!
  local geometry
  geometry=$(wine "$shot" locate 90 | tr -d '\r')
  import -window root -crop "$geometry" +repage "$out/$1"
  wine "$shot" close
  wait "$program" || true
  echo "screenshots: $out/$1 ($geometry)"
}

# A window of the screenshot driver: it prints the rectangle, then waits for the sentinel file.
driver_shot() {
  local sentinel="$TVDE_WINEPREFIX/drive_c/tvde-screenshot-taken" geometry
  rm -f "$sentinel"
  exec 3< <(wine "$shot" "$1" 'C:\tvde-screenshot-taken')
  read -r -t 180 geometry <&3
  geometry=${geometry%$'\r'}
  if [ -n "${whole_screen:-}" ]; then
    import -window root "$out/$2"
  else
    import -window root -crop "$geometry" +repage "$out/$2"
  fi
  touch "$sentinel"
  exec 3<&-
  wait || true
  echo "screenshots: $out/$2 ($geometry)"
}

# A small screen: the whole screen is taken, so that the picture shows the window inside it.
if [ "$TVDE_SCREENSHOTS_IN_XVFB" != large ]; then
  size=${TVDE_SCREENSHOTS_IN_XVFB%:*} dpi=${TVDE_SCREENSHOTS_IN_XVFB#*:}
  set_dpi "$dpi"
  whole_screen=1
  driver_shot showcase "screen-$size-${dpi}dpi-main.png"
  driver_shot report "screen-$size-${dpi}dpi-report.png"
  [ "$size" != 800x600 ] || driver_shot scrolled "screen-$size-${dpi}dpi-scrolled.png"
  set_dpi 96
  exit 0
fi

set_dpi 96
program_shot main-window-96dpi.png
set_dpi 144
program_shot main-window-144dpi.png
set_dpi 96

driver_shot showcase after-simulated-job-96dpi.png
driver_shot winpe winpe-section-96dpi.png
for dpi in 96 144; do
  set_dpi "$dpi"
  driver_shot report "report-dialog-${dpi}dpi.png"
  driver_shot picker "folder-picker-${dpi}dpi.png"
done
set_dpi 96
