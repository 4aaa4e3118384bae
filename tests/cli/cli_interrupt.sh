#!/usr/bin/env bash
# The real program and real signals: SIGINT during a simulated Gutmann job ends it cancelled
# (exit 3) with its three reports; a second signal while it stops ends the program at once.
set -u
cli=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; tail -20 "$dir/out" "$dir/err"; exit 1; }
head -c 1048576 /dev/zero | tr '\0' '\132' >"$dir/disk.img"
cp "$dir/disk.img" "$dir/original.img"

# Starts a simulated job in the background and waits until its first pass (and so the
# handler) has started.
start() {
  "$cli" erase "$dir/disk.img" --standard gutmann "$@" --operator op --organization org \
    >"$dir/out" 2>"$dir/err" &
  pid=$!
  for _ in $(seq 1 400); do
    grep -q '\[SIMULATION\] ' "$dir/out" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "the job did not start"
}

start --out "$dir/certs"
kill -INT "$pid"
wait "$pid"
code=$?
[ "$code" -eq 3 ] || fail "exit code $code after one SIGINT, expected 3"
grep -q 'Status           : CANCELLED (中断) \[status 4\]' "$dir/out" || fail "no cancelled status"
grep -q 'stopping after the current chunk' "$dir/err" || fail "no notice on stderr"
[ "$(ls "$dir/certs" | wc -l)" -eq 3 ] || fail "expected three report files"
cmp -s "$dir/disk.img" "$dir/original.img" || fail "the simulation changed the image"

# Two different signals cannot merge into one: whichever is handled first cancels, the other
# is the hard stop (128 + SIGINT or SIGTERM) before any summary is printed.
start --no-reports
kill -INT "$pid"
kill -TERM "$pid"
wait "$pid"
code=$?
[ "$code" -eq 130 ] || [ "$code" -eq 143 ] ||
  fail "exit code $code after a second signal, expected death by SIGINT or SIGTERM"
grep -q 'Erase job summary' "$dir/out" && fail "the program went on to its summary"
echo "interrupt handling: ok"
