#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager: draws a link in each of
# two networks, waits past a two-second autosave, kills the editor, starts it again on one of the
# files, and in the one list of recoverable documents unchecks the other and chooses Recover; the
# recovered window's title shows it is modified; saves, and finds the link in the file.
# Usage: recovery_e2e.sh VANTRY VANTRY_CLI
set -euo pipefail
vantry=$1
cli=$2

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm

mkdir -p "$XDG_CONFIG_HOME/Kestrin"
printf '[Settings]\nAutosaveSeconds=2\n' >"$XDG_CONFIG_HOME/Kestrin/Vantry.conf"
recovery="$XDG_DATA_HOME/Kestrin/Vantry/recovery"

start_editor() {
    "$vantry" "$@" >>"$work/editor.log" 2>&1 &
    editor_pid=$!
    wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
    win=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
    xdotool windowactivate --sync "$win" 2>/dev/null || true
    wait_for_active "^NetQuill - " || fail "the editor's window did not take the keyboard"
}

recovery_files() {
    find "$recovery" -name '*.vrec' 2>/dev/null | wc -l
}

net="$work/net.txt"
other="$work/other.txt"
printf 'KX101\nEndNodes\nEndLinks\n\n0 0 0 0\n' >"$net"
cp "$net" "$work/original.txt"
cp "$net" "$other"

# ---- Draw in both, let the autosave run, and kill the editor ------------------------------------
start_editor "$net" "$other"
# The coordinates below are for the main window's client area at (91, 97), where the window
# manager puts it on an empty screen; `at` moves them to wherever it is.
eval "$(xdotool getwindowgeometry --shell "$win")"
dx=$((X - 91))
dy=$((Y - 97))
at() { echo "$(($1 + dx)) $(($2 + dy))"; }

# Network, Link, and a link drawn on the map.
draw_link() {
    menu n l
    xdotool mousemove $(at 300 400) mousedown 1 mousemove $(at 380 420) mousemove $(at 500 450)
    sleep 0.2
    xdotool mousemove $(at 500 450) mouseup 1
}
wait_for_window "^NetQuill - other.txt" || fail "other.txt is not the active window"
draw_link
wait_for_window "^NetQuill - other.txt\*" || fail "the first drawing left no star in the title"
# Ctrl+Tab brings the other window in front.
xdotool key ctrl+Tab
wait_for_window "^NetQuill - net.txt" || fail "Ctrl+Tab did not activate net.txt's window"
draw_link
wait_for_window "^NetQuill - net.txt\*" || fail "the modified network's title has no star"
# Each drawing is one edit, and a network without changes has no recovery file: a file there
# holds its network's drawing.
two_recovery_files() {
    [ "$(recovery_files)" -ge 2 ]
}
wait_until two_recovery_files || fail "no recovery files after the autosave interval"
kill -9 "$editor_pid"
wait "$editor_pid" 2>/dev/null || true
editor_pid=
cmp -s "$net" "$work/original.txt" || fail "the network's own file was written"
cmp -s "$other" "$work/original.txt" || fail "the other network's own file was written"

# ---- Start again on one file: recover it, discard the other --------------------------------------
"$vantry" "$net" >>"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "^Recover Unsaved Changes$" || fail "no question about the unsaved changes"
question=$(xdotool search --name "^Recover Unsaved Changes$" | head -n1)
[ "$(xdotool search --onlyvisible --name "^Vantry$" 2>/dev/null | wc -l)" = 0 ] ||
    fail "a question box besides the list"
xdotool windowactivate --sync "$question" 2>/dev/null || true
wait_for_active "^Recover Unsaved Changes$" || fail "the question did not take the keyboard"
# The named file comes first; the second line's box is unchecked with Space.
xdotool key Down space
xdotool key alt+r
wait_for_no_window "^Recover Unsaved Changes$" || fail "Recover left the question open"
wait_for_window "^NetQuill - net.txt\*$" || fail "the recovered network has no window marked modified"
win=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
xdotool windowactivate --sync "$win" 2>/dev/null || true
wait_for_active "^NetQuill - net.txt\*$" || fail "the recovered network's window did not take the keyboard"
before=$(md5sum <"$net")
menu f s
wait_for_change "$net" "$before" || fail "File, Save did not save the recovered network"
"$cli" info "$net" >"$work/info" || fail "the saved network does not open"
grep -q '^nodes 2$' "$work/info" || fail "the recovered nodes are not in the file: $(cat "$work/info")"
grep -q '^links 1$' "$work/info" || fail "the recovered link is not in the file: $(cat "$work/info")"
no_recovery_files() {
    [ "$(recovery_files)" -eq 0 ]
}
wait_until no_recovery_files || fail "recovery files left after the save: $(ls "$recovery")"
xdotool search --name "other.txt" >/dev/null 2>&1 && fail "the unchecked network was recovered"
cmp -s "$other" "$work/original.txt" || fail "the unchecked network's file was written"
echo "killed after an autosave, one recovered and one discarded from one list, saved: ok"
