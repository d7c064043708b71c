#!/usr/bin/env bash
# vela-host's progress line: drawn on the error output while it is a terminal, and never when it is
# a file or a pipe. Usage: terminal-progress.sh VELA_HOST MAKE_NODE_GLTF WORK_FOLDER
set -euo pipefail

vela=$1
make_town=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
# The town of the import benchmark, large enough to take the host a second or so to open: the
# line shows a tenth of a second in.
"$make_town" "$work/town.gltf" 200000

"$vela" --prefs "$work/prefs" show "$work/town.gltf" >/dev/null 2>"$work/to-a-file"
if grep -q $'\r' "$work/to-a-file"; then
    echo "FAIL: a progress line was written to a file:"
    cat -v "$work/to-a-file"
    exit 1
fi

# script(1) gives the command a terminal and keeps what the terminal showed.
script -qec "'$vela' --prefs '$work/prefs' show '$work/town.gltf' >/dev/null" /dev/null \
    >"$work/on-a-terminal"
if ! grep -q $'\rReading town.gltf' "$work/on-a-terminal"; then
    echo "FAIL: no progress line on a terminal; it showed:"
    cat -v "$work/on-a-terminal"
    exit 1
fi
# The line is cleared at the end: the last thing shown is a return to the start of a blank line.
if [[ $(tail -c 1 "$work/on-a-terminal" | od -An -c | tr -d ' ') != '\r' ]]; then
    echo "FAIL: the progress line was not cleared; it ended:"
    tail -c 200 "$work/on-a-terminal" | cat -v
    exit 1
fi
echo "ok: a line on a terminal, none in a file"
