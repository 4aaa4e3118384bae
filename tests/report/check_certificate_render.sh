#!/usr/bin/env bash
# Renders the sample certificate in headless Chromium: a screenshot at a fixed size whose
# colours are checked (kept for a look by eye), and the DOM of the page with hostile values,
# which must hold them as text, never as elements.
# Usage: check_certificate_render.sh SAMPLES_DIR OUTPUT_DIR
set -euo pipefail
samples=${1:?samples folder}
out=${2:?output folder}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
chromium=/usr/bin/chromium
width=1200
height=1800

if [ ! -x "$chromium" ] || ! command -v python3 >/dev/null || ! command -v convert >/dev/null; then
  echo "SKIPPED: $chromium, python3 or ImageMagick is missing (install them with scripts/setup.sh)"
  exit 77
fi

mkdir -p "$out"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
run_chromium() {
  timeout 60 "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --window-size=$width,$height "$@" 2>"$out/chromium.log"
}

png="$out/sample_Certificate.png"
rm -f "$png"
run_chromium --screenshot="$png" "file://$samples/sample_Certificate.html" >/dev/null
[ -s "$png" ] || { echo "FAIL: no screenshot written"; cat "$out/chromium.log"; exit 1; }
size=$(stat -c %s "$png")
[ "$size" -gt 20000 ] || { echo "FAIL: screenshot of only $size bytes"; exit 1; }
python3 "$here/check_certificate_png.py" "$png" $width $height

dom="$out/hostile_Certificate.dom.html"
run_chromium --dump-dom "file://$samples/hostile_Certificate.html" >"$dom"
fail=0
expect() { grep -qF -- "$1" "$dom" || { echo "FAIL: DOM lacks: $1"; fail=1; }; }
refuse() { if grep -qiF -- "$1" "$dom"; then echo "FAIL: DOM holds: $1"; fail=1; fi; }
expect '<title>Certificate of Data Erasure - TVDE-20260105-143012-9A0B1C2D</title>'
expect '<td>&lt;script&gt;document.title='"'"'PWNED'"'"'&lt;/script&gt;&lt;b&gt;bold?&lt;/b&gt; &amp; '
expect '&lt;img src=x onerror=alert(1)&gt;'
expect '<div class="badge">COMPLETED &amp; VERIFIED (完全消去済)</div>'
refuse '<script'
refuse '<img'
refuse '<i>'
refuse 'PWNED</title>'
[ $fail -eq 0 ] || exit 1
echo "certificate rendered: $png ($size bytes); hostile values stay text"
