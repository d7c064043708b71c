#!/usr/bin/env bash
# Runs a command and checks its exit status and what it wrote to the standard error stream.
# usage: run_and_check.sh STATUS STDERR-PATTERN -- COMMAND...
#   STATUS          the exit status expected
#   STDERR-PATTERN  an extended regular expression the standard error must match ("" for empty)
# With VELA_FRESH_DIR set, that folder (the host's preferences of the run) is emptied first, so
# every run starts as on a fresh machine. With VELA_TEST_WRAPPER set (scripts/valgrind-suite), the
# command runs under it.
set -u
if [[ -n ${VELA_FRESH_DIR:-} ]]; then
    rm -rf "$VELA_FRESH_DIR"
fi
expected_status=$1
pattern=$2
shift 3
stderr_file=$(mktemp)
trap 'rm -f "$stderr_file"' EXIT
# shellcheck disable=SC2086  # the wrapper is a command with its options
${VELA_TEST_WRAPPER:-} "$@" >/dev/null 2>"$stderr_file"
status=$?
fail=0
if [[ $status -ne $expected_status ]]; then
    echo "exit status $status, expected $expected_status" >&2
    fail=1
fi
if [[ -z $pattern ]]; then
    if [[ -s $stderr_file ]]; then
        echo "expected no error output" >&2
        fail=1
    fi
elif ! grep -Eq -- "$pattern" "$stderr_file"; then
    echo "error output does not match: $pattern" >&2
    fail=1
fi
if [[ $fail -ne 0 ]]; then
    echo "--- error output:" >&2
    cat "$stderr_file" >&2
fi
exit $fail
