#!/usr/bin/env bash
# The product as an operator starts it: the main window comes up with its start-up lines (Wine's
# null graphics driver), closes on request, and the process exits with code 0.
set -euo pipefail
wine_run=$1 product=$2 helper=$3

"$wine_run" "$product" </dev/null &
program=$!
if ! geometry=$("$wine_run" "$helper" locate 60 </dev/null | tr -d '\r'); then
  kill "$program" 2>/dev/null || true
  echo "FAIL: no main window"; exit 1
fi
echo "main window: $geometry"
"$wine_run" "$helper" close </dev/null
code=0
wait "$program" || code=$?
[ "$code" -eq 0 ] || { echo "FAIL: exit code $code"; exit 1; }
echo "closed with exit code 0"
