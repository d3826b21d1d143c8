#!/usr/bin/env bash
# Drives the docks of the real editor under a virtual X server and a window manager: the link
# table opened from the View menu, two cells of one column set at once from the keyboard, the
# checker opened from the Network menu. The saved file, vantry-cli check and the preferences
# file tell what happened.
# Usage: docks_e2e.sh VANTRY VANTRY_CLI
set -euo pipefail
vantry=$1
cli=$2

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/docks_e2e_failure.png"

# Links 1 -> 2, 2 -> 3 and 3 -> 3 (a self-link, which the checker calls an error).
net="$work/net.txt"
printf 'KX101\n0 0\n1 0\n1 1\nEndNodes\n1 2 2 1800 -1 55 190 I M a\n2 3 2 1800 -1 55 190 I M b\n3 3 2 1800 -1 55 190 I M c\nEndLinks\n\n0 0 0 0\n' >"$net"

"$vantry" "$net" >"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "NetQuill - " || fail "the editor's window did not appear"
sleep 2
# The coordinates below are for the main window's client area at (91, 97), where the window
# manager puts it on an empty screen; `at` moves them to wherever it is.
win=$(xdotool search --name "NetQuill - " | head -n1)
eval "$(xdotool getwindowgeometry --shell "$win")"
dx=$((X - 91))
dy=$((Y - 97))
at() { echo "$(($1 + dx)) $(($2 + dy))"; }

# View > Link Table: "t" reaches Link Table before Toolbar.
xdotool key alt+v
sleep 0.5
xdotool key t
sleep 0.3
xdotool key Return
sleep 1.5

# Capacity of links 1 and 2, typed once.
xdotool mousemove $(at 540 648) click 1
sleep 0.3
xdotool keydown ctrl mousemove $(at 540 668) click 1 keyup ctrl
sleep 0.3
xdotool type 1500
xdotool key Return
sleep 0.5
xdotool key ctrl+s
sleep 1

# Network > Check Network.
xdotool key alt+n
sleep 0.5
xdotool key k
sleep 1

grep -q '^1 2 2 1500 ' "$net" || fail "link 1's capacity was not set from the table: $(cat "$net")"
grep -q '^2 3 2 1500 ' "$net" || fail "link 2's capacity was not set from the table: $(cat "$net")"
grep -q '^3 3 2 1800 ' "$net" || fail "link 3 was changed: $(cat "$net")"

status=0
out=$("$cli" check "$net") || status=$?
[ "$status" = 3 ] || fail "vantry-cli check exited with $status, not 3"
# The self-link first; the one-way ends of the road follow as dead ends.
[ "$(printf '%s\n' "$out" | head -n1)" = "error self-link: link 3: starts and ends at node 3" ] ||
    fail "check printed: $out"

conf="$XDG_CONFIG_HOME/Kestrin/Vantry.conf"
grep -q '^LinkTable=true' "$conf" || fail "the link table's visibility was not kept: $(cat "$conf")"
grep -q '^Checker=true' "$conf" || fail "the checker's visibility was not kept: $(cat "$conf")"
echo "docks end-to-end: passed"
