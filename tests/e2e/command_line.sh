#!/usr/bin/env bash
# The editor's --help and --version answer on standard output and exit 0 without a display and
# without opening a window; a wrong option is exit 2 with the reason.
# Usage: command_line.sh VANTRY VERSION
set -euo pipefail
vantry=$1
version=$2

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
help=$("${nodisplay[@]}" "$vantry" --help) || fail "--help exit $?"
grep -q '^Usage: .*\[FILE\.\.\.\]' <<<"$help" || fail "--help printed: $help"
grep -q -- '--version' <<<"$help" || fail "--help lacks --version: $help"
shown=$("${nodisplay[@]}" "$vantry" --version) || fail "--version exit $?"
[ "$shown" = "Vantry $version" ] || fail "--version printed: $shown"

code=0
QT_QPA_PLATFORM=offscreen "$vantry" --frobnicate >/dev/null 2>"${TMPDIR:-/tmp}/vantry-options.$$" ||
    code=$?
reason=$(cat "${TMPDIR:-/tmp}/vantry-options.$$")
rm -f "${TMPDIR:-/tmp}/vantry-options.$$"
[ "$code" -eq 2 ] || fail "a wrong option gave exit $code"
grep -q frobnicate <<<"$reason" || fail "a wrong option said: $reason"
echo "command line: ok"
