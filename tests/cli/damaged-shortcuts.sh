#!/usr/bin/env bash
# Puts a damaged shortcut table into a fresh preferences folder, then runs the check.
# usage: damaged-shortcuts.sh PREFS-DIR DAMAGED-FILE -- run_and_check.sh ARGS...
set -eu
prefs=$1
rm -rf "$prefs"
mkdir -p "$prefs"
cp "$2" "$prefs/shortcuts.json"
shift 3
exec "$@"
