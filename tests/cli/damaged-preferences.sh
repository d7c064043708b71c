#!/usr/bin/env bash
# A damaged preferences file in the host's preferences folder: the host must say what is wrong and
# where, set the file aside unchanged (never replace it), start with default preferences, and keep
# what this run sets for the next run.
# usage: damaged-preferences.sh VELA-HOST PREFS-DIR SCRIPT-DIR
# With VELA_TEST_WRAPPER set (scripts/valgrind-suite), the host runs under it.
set -u
host=$1
prefs=$2
scripts=$3
rm -rf "$prefs"
mkdir -p "$prefs"
damaged='{ "format": "vela-host-scene", "version": 1, "name": "Preferences", "data": [1, 2'
printf '%s' "$damaged" > "$prefs/preferences.json"

fail() { echo "damaged-preferences: $*" >&2; exit 1; }

stderr=$(${VELA_TEST_WRAPPER:-} "$host" --prefs "$prefs" run "$scripts/option-on.vela" 2>&1 >/dev/null) ||
    fail "the run with a damaged preferences file failed: $stderr"
grep -Eq "the preferences could not be read \(.*preferences.json:1:[0-9]+: .*\); the file was set aside as .*preferences.json.damaged-" <<<"$stderr" ||
    fail "no message naming the file, the place and where it went: $stderr"
aside=("$prefs"/preferences.json.damaged-*)
[[ -f ${aside[0]} ]] || fail "the damaged file was not set aside"
[[ $(cat "${aside[0]}") == "$damaged" ]] || fail "the file set aside is not the damaged file as it was"

# The next run finds the option this run turned on.
stderr=$(${VELA_TEST_WRAPPER:-} "$host" --prefs "$prefs" run "$scripts/option-still-on.vela" 2>&1 >/dev/null) ||
    fail "the option did not survive: $stderr"
[[ -z $stderr ]] || fail "the second run complained: $stderr"
exit 0
