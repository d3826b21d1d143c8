#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager with the real pointer and
# keyboard through gestures that used to leave a tool stuck: the context menu raised in the middle
# of a selection rectangle, and choosing Select while a link waits for its second click. The
# saved file tells what happened.
# Usage: pointer_e2e.sh VANTRY VANTRY_CLI
set -euo pipefail
vantry=$1
cli=$2

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm

# Three nodes: (-1, 0), (1, 0) and (0, 1).
net="$work/net.txt"
printf 'KX101\n-1 0\n1 0\n0 1\nEndNodes\nEndLinks\n\n0 0 0 0\n' >"$net"

"$vantry" "$net" >"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
win=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
xdotool windowactivate --sync "$win" 2>/dev/null || true
wait_for_active "^NetQuill - " || fail "the editor's window did not take the keyboard"
# The coordinates below are for the main window's client area at (91, 97), where the window
# manager puts it on an empty screen; `at` moves them to wherever it is.
eval "$(xdotool getwindowgeometry --shell "$win")"
dx=$((X - 91))
dy=$((Y - 97))
at() { echo "$(($1 + dx)) $(($2 + dy))"; }

node3=$(at 523 203)

# ---- The context menu in the middle of a selection rectangle ---------------------------------
xdotool mousemove $(at 300 400) mousedown 1 mousemove $(at 350 420) mousemove $(at 400 450)
before=$(shown_windows)
xdotool mousedown 3 mouseup 3
wait_until more_windows_than "$before" || fail "the right button showed no menu mid-drag"
xdotool mousemove $(at 420 470) mouseup 1
xdotool key Escape
menu_closed() {
    ! more_windows_than "$before"
}
wait_until menu_closed || fail "Escape did not close the context menu"
# A press-drag on node 3 moves it (not a rectangle selection).
xdotool mousemove $node3 mousedown 1 mousemove $(at 540 230) mousemove $(at 603 283) mouseup 1
wait_for_window "^NetQuill - .*\*" || fail "the drag did not change the network"

# ---- Select while a link waits for its second click --------------------------------------------
# Network, Link; a click on the map starts a link; Network, Select while it waits.
menu n l
xdotool mousemove $(at 300 400) click 1 mousemove $(at 350 450)
menu n s
# In Select, clicks on empty map make nothing; a pending link would be finished here.
xdotool mousemove $(at 700 450) click 1 mousemove $(at 750 500) click 1

before=$(md5sum <"$net")
xdotool key ctrl+s
wait_for_change "$net" "$before" || fail "Ctrl+S did not save"

"$cli" info "$net" >"$work/info" || fail "the saved network does not open"
grep -q '^nodes 3$' "$work/info" || fail "nodes changed: $(cat "$work/info")"
grep -q '^links 0$' "$work/info" || fail "a link was made after Select was chosen: $(cat "$work/info")"
"$cli" convert "$net" "$work/check.txt" || fail "cannot convert"
# Node 3 was dragged 80 pixels right and 80 down: about (0.2, 0.8) at this window's zoom.
node3_line=$(sed -n 4p "$work/check.txt")
python3 - "$node3_line" <<'PY' || fail "node 3 did not move by the drag: $node3_line"
import sys
x, y = map(float, sys.argv[1].split()[:2])
sys.exit(0 if 0.1 < x < 0.3 and 0.7 < y < 0.9 else 1)
PY
echo "context menu mid-drag, Select mid-link: ok"

