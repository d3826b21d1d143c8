#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager: the autosave interval
# changed in Preferences from the keyboard and the main window moved and resized are kept even
# though the editor is then killed, not ended; the next run comes back where the window was left
# and with the interval chosen.
# Usage: crash_settings_e2e.sh VANTRY
set -euo pipefail
vantry=$1

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/crash_settings_e2e_failure.png"
store="$XDG_CONFIG_HOME/Kestrin/Vantry.conf"

start_editor() {
    "$vantry" >>"$work/editor.log" 2>&1 &
    editor_pid=$!
    wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
    main=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    wait_for_active "^NetQuill - " || fail "the editor's window did not take the keyboard"
}

crash() {
    kill -9 "$editor_pid"
    wait "$editor_pid" 2>/dev/null || true
    editor_pid=
}

placement() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    echo "${X},${Y} ${WIDTH}x${HEIGHT}"
}

stored_geometry() {
    grep '^Geometry=' "$store" 2>/dev/null || true
}

stored_geometry_differs() {
    [ "$(stored_geometry)" != "$1" ]
}

# Waits for the window's placement to reach the store; the editor writes it once the window has
# been still for a moment.
wait_for_geometry_change() {
    wait_until stored_geometry_differs "$1" ||
        fail "the window's new placement was not written while the editor ran"
}

placed_at() {
    [ "$(placement)" = "$1" ]
}

start_editor
before=$(stored_geometry)
xdotool windowsize --sync "$main" 820 540 || true
xdotool windowmove --sync "$main" 160 120 || true
sized() {
    [ "$(placement | cut -d' ' -f2)" = 820x540 ]
}
wait_until sized || fail "the window manager did not resize the window"
left=$(placement)
wait_for_geometry_change "$before"

# Network > Preferences, the Precision page, the autosave field: 300 seconds, then OK.
menu n p
wait_for_active "^Preferences" || fail "Network, Preferences did not open the preferences"
xdotool key alt+r
xdotool key alt+a
xdotool key ctrl+a
xdotool type 300
xdotool key Return
wait_for_no_window "^Preferences" || fail "the preferences did not close with OK"

crash
grep -q '^AutosaveSeconds=300$' "$store" ||
    fail "the autosave interval was lost with the editor: $(cat "$store" 2>/dev/null)"
echo "the autosave interval survives a kill: ok"

start_editor
wait_until placed_at "$left" || fail "the window came back at $(placement), not $left"
echo "the window's placement survives a kill: ok"

# The next run works with what was kept: at its normal end it writes back what it read.
menu f x
wait_for_exit || fail "File, Exit did not end the editor"
grep -q '^AutosaveSeconds=300$' "$store" ||
    fail "the next run did not take the kept interval: $(cat "$store")"
echo "the next run uses the kept interval: ok"
