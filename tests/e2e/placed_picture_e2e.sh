#!/usr/bin/env bash
# Drives the real editor under a virtual X server: on a network placed in New York Long Island
# State Plane, Load Bitmap of a picture with a world file fills in where the world file puts it,
# and the saved network draws the picture there.
# Usage: placed_picture_e2e.sh VANTRY VANTRY-CLI
set -euo pipefail
vantry=$1
cli=$2

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/placed_picture_e2e_failure.png"

# A red picture of 320 x 240 pixels of 16.5 US survey feet: 5280 by 3960 feet, whose upper-left
# corner lies 10560 feet east and 9240 feet north of the network's 0,0, so 2 to 3 miles across
# and 1 to 1.75 up. The world file gives the centre of the upper-left pixel.
python3 - "$work/pic.png" <<'PY'
import struct, sys, zlib
w, h = 320, 240
raw = b"".join(b"\0" + bytes((200, 30, 30)) * w for _ in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
open(sys.argv[1], "wb").write(b"\x89PNG\r\n\x1a\n" +
    chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
    chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
PY
printf '16.5\n0\n0\n-16.5\n990568.25\n209231.75\n' >"$work/pic.pgw"
printf 'KX101\n0 0\n4 3\nEndNodes\nEndLinks\n\n0 0 0 0\nGeoreference 980000 200000 EPSG:2263\n' \
    >"$work/net.txt"

"$vantry" "$work/net.txt" >"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
main=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
xdotool windowactivate --sync "$main" 2>/dev/null || true
wait_for_active "^NetQuill - net.txt$" || fail "the editor did not get the keyboard"

# Leaving the path box loads the picture, and its world file fills in the numbers; back in the
# box, Return is OK.
menu n b
wait_for_active "^Load Bitmap$" || fail "the Load Bitmap dialog did not open"
xdotool key ctrl+a
xdotool type --delay 5 "$work/pic.png"
xdotool key Tab shift+Tab Return
wait_for_active "^NetQuill - net.txt\*$" || fail "Load Bitmap did not change the network"
md5=$(md5sum <"$work/net.txt")
xdotool key ctrl+s
wait_for_change "$work/net.txt" "$md5" || fail "the network was not saved"

# The rectangle line (top left bottom right) after the picture's path.
rect=$(awk 'prev == "pic.png" { print; exit } { prev = $0 }' "$work/net.txt")
awk -v r="$rect" 'BEGIN {
    split(r, n, " ")
    want[1] = 1.75; want[2] = 2; want[3] = 1; want[4] = 3
    for (i = 1; i <= 4; ++i) if (n[i] - want[i] > 0.001 || want[i] - n[i] > 0.001) exit 1
}' || fail "the picture was saved at \"$rect\", not at 1.75 2 1 3"

# At 100 pixels a mile around 2.5, 1.4 the picture covers pixels 150 to 250 across and 115 to
# 190 down; just outside them nothing is red.
"$cli" render "$work/net.txt" "$work/render.png" --size 400x300 --scale 100 --center 2.5,1.4 \
    --no-grid --no-numbers --background || fail "vantry-cli could not render the network"
python3 - "$work/render.png" <<'PY' || fail "the picture is not drawn where its world file puts it"
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat, header = 8, b"", None
while pos < len(data):
    size, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + size]
    if kind == b"IHDR":
        header = struct.unpack(">IIBBBBB", body)
    elif kind == b"IDAT":
        idat += body
    pos += 12 + size
w, h, depth, colour = header[:4]
assert depth == 8 and colour in (2, 6), header
bpp = 3 if colour == 2 else 4
raw, stride, rows, prior = zlib.decompress(idat), w * bpp, [], bytearray(w * bpp)
for y in range(h):
    kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b, c = prior[i], prior[i - bpp] if i >= bpp else 0
        if kind == 1: line[i] = (line[i] + a) & 255
        elif kind == 2: line[i] = (line[i] + b) & 255
        elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(line)
    prior = line
def red(x, y):
    return tuple(rows[y][x * bpp:x * bpp + 3]) == (200, 30, 30)
inside = [(151, 116), (249, 116), (151, 189), (249, 189), (200, 150)]
outside = [(148, 150), (252, 150), (200, 113), (200, 192)]
bad = [p for p in inside if not red(*p)] + [p for p in outside if red(*p)]
if bad:
    sys.exit("wrong pixels: %s" % bad)
PY
echo "a picture with a world file lands where the world file says: ok"
