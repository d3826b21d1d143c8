#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager: a network file and a
# picture are dragged with the real pointer from another Qt program, which offers to copy or move
# them and proposes a move. The editor answers "copy" both times (a source told that its file was
# moved may delete it), opens the network and starts Load Bitmap with the picture.
# Usage: drop_e2e.sh VANTRY DRAGSOURCE
set -euo pipefail
vantry=$1
dragsource=$2

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/drop_e2e_failure.png"

empty='KX101\nEndNodes\nEndLinks\n\n0 0 0 0\n'
printf "$empty" >"$work/first.txt"
printf "$empty" >"$work/second.txt"
# A 4 by 4 white picture.
python3 - "$work/plan.bmp" <<'PY'
import struct, sys
row = b"\xff" * 12
pixels = row * 4
header = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, 4, 4, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
PY

"$vantry" "$work/first.txt" >>"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "^NetQuill - first.txt" || fail "the editor's window did not appear"
main=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
xdotool windowactivate --sync "$main" 2>/dev/null || true
wait_for_active "^NetQuill - " || fail "the editor's window did not take the keyboard"
eval "$(xdotool getwindowgeometry --shell "$main")"
# The middle of the map window, below the toolbar and the map window's title.
map_x=$((X + 300))
map_y=$((Y + 300))

source_pid=
source_ended() {
    ! kill -0 "$source_pid" 2>/dev/null
}
# Drags the file from a new source window onto the map and prints what the source was told.
drag() {
    "$dragsource" "$1" >"$work/answer" 2>>"$work/editor.log" &
    source_pid=$!
    wait_for_window "^drag source$" || fail "the drag source did not appear"
    local src
    src=$(xdotool search --name "^drag source$" | head -n1)
    xdotool windowmove --sync "$src" 1000 700
    xdotool windowactivate --sync "$src" 2>/dev/null || true
    wait_for_active "^drag source$" || fail "the drag source did not take the focus"
    # The drag protocol runs between two programs while the button is down: the pointer moves
    # at a pace at which each can answer the other.
    xdotool mousemove 1100 760 mousedown 1
    sleep 0.2
    for step in 1 2 3 4 5 6 7 8; do
        xdotool mousemove $((1100 + (map_x - 1100) * step / 8)) $((760 + (map_y - 760) * step / 8))
        sleep 0.15
    done
    sleep 0.5
    xdotool mouseup 1
    wait_until source_ended || true
    kill "$source_pid" 2>/dev/null || true
    wait "$source_pid" 2>/dev/null || true
    cat "$work/answer"
}

answer=$(drag "$work/second.txt")
[ "$answer" = copy ] || fail "the network's drop was answered \"$answer\", not copy"
wait_for_window "^NetQuill - second.txt" || fail "the dropped network did not open"
[ -f "$work/second.txt" ] || fail "the dropped network's file is gone"
echo "a network dropped from a source proposing a move is copied: ok"

answer=$(drag "$work/plan.bmp")
[ "$answer" = copy ] || fail "the picture's drop was answered \"$answer\", not copy"
wait_for_window "^Load Bitmap" || fail "the dropped picture did not start Load Bitmap"
[ -f "$work/plan.bmp" ] || fail "the dropped picture's file is gone"
echo "a picture dropped from a source proposing a move is copied: ok"
