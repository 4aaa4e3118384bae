#!/usr/bin/env bash
# The real program against a target swapped between its checks and its writes. A settings file
# that is a pipe once held the program after it had looked at the target and before it opened
# it again: the moment the program opens the pipe, the target is renamed away and a link to
# another file put in its place. That other file must come through untouched.
set -u
cli=$1
dir=$(mktemp -d)
swapper=
trap '[ -n "$swapper" ] && kill "$swapper" 2>/dev/null; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; tail -5 "$dir/err"; exit 1; }

mkdir -p "$dir/config/toreval"
mkfifo "$dir/config/toreval/TorevalDiskEraser.ini"
head -c 1048576 /dev/zero | tr '\0' '\125' >"$dir/disk.img"
cp "$dir/disk.img" "$dir/victim.img" && cp "$dir/disk.img" "$dir/original.img"

# Opening the pipe for writing returns only once the program opened it for reading.
timeout 60 bash -c 'exec 3>"$1/config/toreval/TorevalDiskEraser.ini"
  mv "$1/disk.img" "$1/moved.img" && ln -s victim.img "$1/disk.img" && echo "[General]" >&3
' _ "$dir" &
swapper=$!

XDG_CONFIG_HOME="$dir/config" "$cli" erase "$dir/disk.img" --real --standard zero-fill \
  --verify none --no-stamp --no-reports >"$dir/out" 2>"$dir/err"
code=$?
cmp -s "$dir/victim.img" "$dir/original.img" || fail "the swapped-in file was written"
[ "$code" -eq 0 ] || fail "exit code $code"
cmp -s "$dir/disk.img" <(head -c 1048576 /dev/zero) || fail "the named target was not erased"
grep -q 'is not a regular file; the defaults are used' "$dir/err" || fail "no settings warning"
echo "swapped target: ok"
