#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager from the keyboard: a
# network placed through Network > Georeference shows the pointer's longitude and latitude in the
# status bar and keeps its place when saved; File > Export writes a GeoPackage that GDAL's own
# ogrinfo reads where the network lies; File > Import makes a new network of a GMNS folder
# after the field mapping dialog has asked for the units the folder does not state.
# Usage: exchange_e2e.sh VANTRY VANTRY_CLI NETWORK
set -euo pipefail
vantry=$1
cli=$2
sample=$3

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/exchange_e2e_failure.png"
command -v ogrinfo >/dev/null || { echo "ogrinfo is missing (run scripts/install-deps.sh)" >&2; exit 1; }

net="$work/net.txt"
cp "$sample" "$net"
links=$("$cli" info "$net" | sed -n 's/^links //p')

# A GMNS folder in longitude and latitude that states no units: two one-way links and a two-way
# one, four links in all.
mkdir "$work/gmns"
printf 'node_id,x_coord,y_coord\n1,-74.00,40.70\n2,-73.99,40.70\n3,-73.98,40.70\n4,-73.98,40.71\n' \
    >"$work/gmns/node.csv"
printf 'link_id,from_node_id,to_node_id,directed,length,lanes,capacity,free_speed\n%s\n%s\n%s\n' \
    1,1,2,1,0.524,2,1800,45 2,2,3,1,0.524,2,1800,45 3,3,4,0,0.690,1,1200,30 >"$work/gmns/link.csv"
printf 'dataset_name,crs\nsmall,EPSG:4326\n' >"$work/gmns/config.csv"

main_has_keyboard() {
    wait_for_active "^NetQuill - " || fail "the main window did not get the keyboard back"
}

"$vantry" "$net" >"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
main=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
xdotool windowactivate --sync "$main" 2>/dev/null || true
main_has_keyboard
eval "$(xdotool getwindowgeometry --shell "$main")"

# The right end of the status bar's message, in pixels: the last column with dark text in the
# bottom rows of the window's left two thirds, read from the X server through libX11. The rows
# reach below the window, as where the window manager says the window is may be off by its
# title bar.
readout_end() {
    python3 - "$X" "$((Y + HEIGHT - 60))" "$((WIDTH * 2 / 3))" 60 <<'PY'
import ctypes, ctypes.util, sys
from array import array
left, top, width, height = (int(a) for a in sys.argv[1:])
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
image = x.XGetImage(display, x.XDefaultRootWindow(display), left, top, width, height,
                    0xFFFFFFFF, 2).contents
pixels = array("I", ctypes.string_at(image.data, image.bytes_per_line * image.height))
stride = image.bytes_per_line // 4
end = 0
for row in range(height):
    dark = [col for col in range(width)
            if sum(pixels[row * stride + col] >> s & 255 for s in (0, 8, 16)) < 240]
    # A row dark from end to end is the window's edge, not text.
    if dark and len(dark) < width // 2:
        end = max(end, dark[-1])
print(end)
PY
}
# Moves the pointer over the map, a pixel at a time so that every try is a move, and checks that
# the readout then ends right of the given column.
nudge=0
readout_ends_after() {
    nudge=$((1 - nudge))
    xdotool mousemove $((X + WIDTH / 2 + nudge)) $((Y + HEIGHT / 2))
    [ "$(readout_end)" -gt "$1" ]
}
wait_until readout_ends_after 20 || fail "moving the pointer over the map shows no readout"
miles_only=$(readout_end)

# ---- Network > Georeference, from the keyboard -----------------------------------------------
menu n g
wait_for_active "^Georeference$" || fail "the Georeference dialog did not open"
# The CRS field has the keyboard; typing a place chooses "placed".
xdotool type --delay 5 "EPSG:2263"
xdotool key alt+x ctrl+a
xdotool type --delay 5 "988000"
xdotool key alt+y ctrl+a
xdotool type --delay 5 "215000"
xdotool key Return
wait_for_no_window "^Georeference$" || fail "OK did not close the Georeference dialog"
main_has_keyboard
wait_for_window "^NetQuill - .*\*" || fail "placing the network did not modify it"
# Latitude and longitude make the readout some 140 pixels longer.
wait_until readout_ends_after $((miles_only + 100)) ||
    fail "the status bar shows no longitude and latitude (readout ends at $(readout_end), was $miles_only)"

before=$(md5sum <"$net")
xdotool key ctrl+s
wait_for_change "$net" "$before" || fail "Ctrl+S did not save"
grep -q 'EPSG:2263' "$net" || fail "the saved network does not keep its place"

# ---- File > Export to a GeoPackage -------------------------------------------------------------
menu f e
wait_for_active "^Export$" || fail "Export did not ask where to write"
xdotool key ctrl+a
xdotool type --delay 5 "$work/out.gpkg"
xdotool key Return
wait_until test -s "$work/out.gpkg" || fail "Export wrote no GeoPackage"
main_has_keyboard
ogr_has_links() {
    ogrinfo -ro -so "$work/out.gpkg" links >"$work/ogrinfo" 2>&1 &&
        grep -q "^Feature Count: $links\$" "$work/ogrinfo"
}
wait_until ogr_has_links || fail "ogrinfo does not read $links links: $(cat "$work/ogrinfo")"
# The corridor lies a few miles east of the origin, in New York.
python3 - "$work/ogrinfo" <<'PY' || fail "the links are not where the network lies: $(grep Extent "$work/ogrinfo")"
import re, sys
m = re.search(r"Extent: \(([-\d.]+), ([-\d.]+)\) - \(([-\d.]+), ([-\d.]+)\)", open(sys.argv[1]).read())
w, s, e, n = map(float, m.groups())
sys.exit(0 if -74.3 < w < e < -73.7 and 40.5 < s <= n < 40.9 else 1)
PY

# ---- File > Import of a GMNS folder --------------------------------------------------------------
menu f i
wait_for_active "^Open$" || fail "Import did not ask what to read"
xdotool type --delay 5 "$work/gmns/link.csv"
xdotool key Return
wait_for_active "^Import Fields$" || fail "the field mapping dialog did not open"
# The folder states no units: lengths in miles, speeds in mph, chosen from the keyboard.
xdotool key alt+l m alt+s m Return
wait_for_no_window "^Import Fields$" || fail "OK did not close the field mapping dialog"
wait_for_window "^NetQuill - Network1" || fail "the import made no new window"
main_has_keyboard
xdotool key ctrl+s
wait_for_active "^Save As$" || fail "saving the imported network did not ask for a name"
xdotool key ctrl+a
xdotool type --delay 5 "$work/imported.txt"
xdotool key Return
wait_until test -s "$work/imported.txt" || fail "the imported network was not saved"
"$cli" info "$work/imported.txt" >"$work/info" || fail "the imported network does not open"
grep -q '^links 4$' "$work/info" || fail "the import did not make four links: $(cat "$work/info")"
grep -q '^nodes 4$' "$work/info" || fail "the import did not make four nodes: $(cat "$work/info")"
echo "georeference, status bar place, GeoPackage export and GMNS import: ok"
