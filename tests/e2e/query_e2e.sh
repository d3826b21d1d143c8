#!/usr/bin/env bash
# Drives Edit > Field Calculator, Select by Expression and Go To Link / Node in the real editor
# under a virtual X server and a window manager, from the keyboard alone: capacity set to
# lanes * 1900 for every link and undone in one step, the links of two lanes or more selected by
# an expression and deleted, an unknown link number refused in Go To and a known one selected and
# deleted. The saved file tells what happened.
# Usage: query_e2e.sh VANTRY
set -euo pipefail
vantry=$1

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/query_e2e_failure.png"

# Links A to D with 1, 2, 3 and 1 lanes, all of capacity 1800.
net="$work/net.txt"
printf 'KX101\n0 0\n1 0\n1 1\n0 1\nEndNodes\n1 2 1 1800 -1 55 190 I M A\n2 3 2 1800 -1 55 190 I M B\n3 4 3 1800 -1 55 190 I M C\n4 1 1 1800 -1 55 190 I M D\nEndLinks\n\n0 0 0 0\n' >"$net"

# "lanes capacity description" of each link line of the saved file.
links() {
    sed -n '/^EndNodes$/,/^EndLinks$/p' "$net" | awk 'NF >= 10 { print $3, $4, $10 }' | tr '\n' ';'
}
save() {
    save_with_keys "$net" "$1"
}
editor_active() {
    active_window_is "^NetQuill - "
}

start_editor "$net"

# Field Calculator through the Edit menu: every link (Alt+A), the new value (Alt+W), OK.
menu e f
wait_for_active "^Field Calculator$" || fail "Edit > Field Calculator showed no dialog"
xdotool key alt+a alt+w
xdotool type "lanes * 1900"
xdotool key Return
wait_until editor_active || fail "the field calculator did not close"
save "after the calculator"
[ "$(links)" = "1 1900 A;2 3800 B;3 5700 C;1 1900 D;" ] ||
    fail "capacity = lanes * 1900 was not applied: $(links)"
# One Undo takes every link back.
xdotool key ctrl+z
save "after Undo"
[ "$(links)" = "1 1800 A;2 1800 B;3 1800 C;1 1800 D;" ] ||
    fail "one Undo did not take the calculator back: $(links)"

# Select by Expression (Ctrl+F): the links of two lanes or more, then Del.
xdotool key ctrl+f
wait_for_active "^Select by Expression$" || fail "Ctrl+F showed no dialog"
xdotool type "lanes >= 2"
xdotool key Return
wait_until editor_active || fail "Select by Expression did not close"
xdotool key Delete
save "after deleting the selection"
[ "$(links)" = "1 1800 A;1 1800 D;" ] || fail "the expression did not select B and C: $(links)"

# Go To (Ctrl+G): link 5 is refused and the dialog stays; link 2 is selected, then deleted.
xdotool key ctrl+g
wait_for_active "^Go To Link / Node$" || fail "Ctrl+G showed no dialog"
xdotool type "link 5"
xdotool key Return
sleep 0.5
active_window_is "^Go To Link / Node$" || fail "Go To took a link the network does not have"
xdotool key ctrl+a
xdotool type "link 2"
xdotool key Return
wait_until editor_active || fail "Go To did not close"
xdotool key Delete
save "after Go To"
[ "$(links)" = "1 1800 A;" ] || fail "Go To did not select link 2: $(links)"
echo "query end-to-end: passed"
