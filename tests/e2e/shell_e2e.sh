#!/usr/bin/env bash
# Drives the real editor under a virtual X server with a window manager and the real keyboard:
# menus by their access keys, two files from the command line switched through the Window menu,
# the maximised title, Exit with the user's guide open, and Load Bitmap confirmed with OK on a
# network opened by its full path from another folder.
# Usage: shell_e2e.sh VANTRY VANTRY_CLI [SCREENSHOT]
set -euo pipefail
vantry=$1
cli=$2
screenshot=${3:-}

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm

start_editor() {
    "$vantry" "$@" >"$work/editor.log" 2>&1 &
    editor_pid=$!
    wait_for_window "^NetQuill" || fail "the editor's window did not appear"
    main=$(xdotool search --onlyvisible --name "^NetQuill" | head -n1)
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    wait_for_active "^NetQuill" || fail "the editor's window did not take the keyboard"
}

title() {
    xdotool getwindowname "$main"
}

title_is() {
    [ "$(title)" = "$1" ]
}

# Waits for the main window's title to read $1.
expect_title() {
    wait_until title_is "$1" || fail "title is '$(title)', not '$1'"
}

# The first window's title bar, once it is in front.
child_title="600 139"
empty='KX101\nEndNodes\nEndLinks\n\n0 0 0 0\n'
printf "$empty" >"$work/one.txt"
printf "$empty" >"$work/two.txt"

# ---- Two files; the Window menu's numbered entries switch between them; maximised title ----
start_editor "$work/one.txt" "$work/two.txt"
expect_title "NetQuill - two.txt"
menu w 1
expect_title "NetQuill - one.txt"
menu w 2
expect_title "NetQuill - two.txt"
# Menus move left and right once open: from File to Window is four steps right.
menu f Right Right Right Right
xdotool key 1
expect_title "NetQuill - one.txt"
# A double click on the active child window's title bar maximises it.
xdotool mousemove $child_title click --repeat 2 --delay 80 1
expect_title "NetQuill - [one.txt]"
echo "two files, window list, maximised title: ok"

# ---- File, Exit by the access keys -----------------------------------------------------------
menu f x
wait_for_exit || fail "Alt+F, X did not end the editor"
echo "Alt+F X exits: ok"

# ---- Exit with the guide open ------------------------------------------------------------------
start_editor "$work/one.txt"
xdotool key F1
wait_for_window "User's Guide" || fail "F1 showed no guide"
xdotool windowactivate --sync "$main" 2>/dev/null || true
wait_for_active "^NetQuill" || fail "the main window did not come back in front of the guide"
menu f x
wait_for_exit || fail "Exit left the editor running with the guide open"
echo "Exit with the guide open: ok"

# ---- Load Bitmap, OK, on a network opened from another folder ---------------------------------
mkdir -p "$work/proj/maps" "$work/elsewhere"
python3 - "$work/proj/maps/area.bmp" <<'PY'
import struct, sys
w, h = 64, 48
row = bytes([50, 100, 200]) * w
pad = (4 - len(row) % 4) % 4
pixels = (row + bytes(pad)) * h
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
PY
printf 'KX101\n0 0\nEndNodes\nEndLinks\nmaps\\area.bmp\n2.5 1 1 3\n' >"$work/proj/net.txt"
cd "$work/elsewhere"
start_editor "$work/proj/net.txt"
cd - >/dev/null
menu n b
wait_for_active "^Load Bitmap$" || fail "Network, Load Bitmap showed no dialog"
xdotool key Return
wait_for_no_window "^Load Bitmap$" || fail "OK left the dialog open"
# A message would take the keyboard from the main window.
wait_for_active "^NetQuill" || fail "the main window did not get the keyboard back"
xdotool search --onlyvisible --name "^Vantry$" >/dev/null 2>&1 && fail "Load Bitmap showed a message"
before=$(md5sum <"$work/proj/net.txt")
xdotool key ctrl+s
wait_for_change "$work/proj/net.txt" "$before" || fail "Ctrl+S did not save"
grep -q '^maps\\area.bmp$' "$work/proj/net.txt" || fail "the picture's path changed: $(cat "$work/proj/net.txt")"
"$cli" convert "$work/proj/net.txt" "$work/check.txt" || fail "the saved network does not open"
[ "$(tail -n1 "$work/check.txt")" = "2.500 1.000 1.000 3.000" ] ||
    fail "the picture's rectangle changed: $(cat "$work/check.txt")"
menu f x
wait_for_exit || fail "the editor did not quit after Load Bitmap"
echo "Load Bitmap from another folder, OK: ok"
