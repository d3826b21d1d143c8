#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager: a network shows its
# background picture; Load Bitmap puts another in its place, and Undo and Redo, from the keyboard,
# bring back on screen the picture the network names each time, from a cleared background too.
# Usage: picture_e2e.sh VANTRY
set -euo pipefail
vantry=$1

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/picture_e2e_failure.png"

# Two solid pictures of 320 x 240 pixels.
python3 - "$work" <<'PY'
import struct, sys
def bmp(path, rgb):
    w, h = 320, 240
    row = bytes((rgb[2], rgb[1], rgb[0])) * w
    pixels = row * h
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    open(path, "wb").write(header + info + pixels)
bmp(sys.argv[1] + "/red.bmp", (200, 30, 30))
bmp(sys.argv[1] + "/blue.bmp", (30, 30, 200))
PY
# The picture covers 8 by 6 miles around the network's only node.
printf 'KX101\n0 0\nEndNodes\nEndLinks\nred.bmp\n3 -4 -3 4\n' >"$work/net.txt"

# The shares of the screen, 0 to 1, in exactly each of the given colours (r,g,b), read from the
# X server through libX11.
shares() {
    python3 - "$@" <<'PY'
import ctypes, ctypes.util, sys
from array import array
x = ctypes.CDLL(ctypes.util.find_library("X11"))
class XImage(ctypes.Structure):
    _fields_ = [(n, ctypes.c_int) for n in ("width", "height", "xoffset", "format")] + \
        [("data", ctypes.c_void_p)] + \
        [(n, ctypes.c_int) for n in ("byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad",
                                     "depth", "bytes_per_line", "bits_per_pixel")]
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XGetImage.restype = ctypes.POINTER(XImage)
x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                        ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
display = x.XOpenDisplay(None)
image = x.XGetImage(display, x.XDefaultRootWindow(display), 0, 0, 1280, 900, 0xFFFFFFFF, 2).contents
assert image.bits_per_pixel == 32 and image.byte_order == 0, "a 24-bit screen is expected"
pixels = array("I", ctypes.string_at(image.data, image.bytes_per_line * image.height))
counts = {}
for p in pixels:
    p &= 0xFFFFFF
    counts[p] = counts.get(p, 0) + 1
for colour in sys.argv[1:]:
    r, g, b = (int(c) for c in colour.split(","))
    print(counts.get(r << 16 | g << 8 | b, 0) / len(pixels))
PY
}
red=200,30,30
blue=30,30,200
# True when the screen shows the first colour over a good part of it and the second nowhere.
shows_now() {
    shares "$1" "$2" | awk 'NR == 1 { a = $1 } NR == 2 { b = $1 } END { exit !(a > 0.05 && b == 0) }'
}
shows() {
    wait_until shows_now "$@"
}
shows_none_of() {
    [ "$(shares "$1")" = 0.0 ]
}
# Waits for the main window to have the keyboard again, once a dialog is gone.
main_has_keyboard() {
    wait_for_active "^NetQuill - " || fail "the main window did not get the keyboard back"
}

"$vantry" "$work/net.txt" >"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
main=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
xdotool windowactivate --sync "$main" 2>/dev/null || true
main_has_keyboard
shows "$red" "$blue" || fail "the network's picture is not shown"

# Network, Load Bitmap: the path box holds the red picture; the blue one takes its place.
menu n b
wait_for_active "^Load Bitmap$" || fail "the Load Bitmap dialog did not open"
xdotool key ctrl+a
xdotool type --delay 5 "$work/blue.bmp"
xdotool key Return
shows "$blue" "$red" || fail "the loaded picture is not shown"

main_has_keyboard
xdotool key ctrl+z
shows "$red" "$blue" || fail "after Undo the network names red.bmp but another picture is shown"
xdotool key ctrl+y
shows "$blue" "$red" || fail "after Redo the network names blue.bmp but another picture is shown"

# Load Bitmap with an empty path clears the background; Undo shows the picture again.
menu n b
wait_for_active "^Load Bitmap$" || fail "the Load Bitmap dialog did not open again"
xdotool key ctrl+a BackSpace Return
wait_until shows_none_of "$blue" || fail "the cleared background is still shown"
main_has_keyboard
xdotool key ctrl+z
shows "$blue" "$red" || fail "after Undo of the cleared background its picture is not shown"
echo "the picture shown follows Load Bitmap, Undo and Redo: ok"
