#!/usr/bin/env bash
# Drives Network > Route... in the real editor under a virtual X server and a window manager, from
# the keyboard alone, on the bundled corridor sample: node 99 is refused and the dialog stays,
# the route from node 3 to node 7 shows on the map (along the mainline, through the work zone),
# the same route avoiding Work Zone links takes the longer frontage-road detour, and Escape takes
# the route away. The map's pixels of the route's colour tell what is shown.
# Usage: route_e2e.sh VANTRY SAMPLE
set -euo pipefail
vantry=$1
sample=$2

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/route_e2e_failure.png"
command -v import >/dev/null || { echo "import (ImageMagick) is missing" >&2; exit 1; }

net="$work/corridor.txt"
cp "$sample" "$net"

# How many pixels of the screen have the route's colour (view/routeoverlay.h, kRouteColour).
route_pixels() {
    import -window root "$work/shot.png"
    convert "$work/shot.png" -fill black +opaque "#ff00c8" -fill white -opaque "#ff00c8" \
        -format "%[fx:round(mean*w*h)]" info:
}
more_route_pixels_than() {
    [ "$(route_pixels)" -gt "$1" ]
}
no_route_pixels() {
    [ "$(route_pixels)" -eq 0 ]
}
editor_active() {
    active_window_is "^NetQuill - "
}
route_dialog() {
    menu n r
    wait_for_active "^Route$" || fail "Network > Route... showed no dialog"
    # The window manager activates the dialog a moment before the toolkit gives its fields the
    # keyboard; access keys pressed in between are lost.
    sleep 0.5
}

start_editor "$net"
[ "$(route_pixels)" -eq 0 ] || fail "the map shows the route's colour before any route"

# Node 99 is not in the network: the dialog says so and stays open.
route_dialog
xdotool type 99
xdotool key Tab
xdotool type 7
xdotool key Return
sleep 0.5
active_window_is "^Route$" || fail "Route took node 99, which the network does not have"
# The refused number is selected: typing replaces it.
xdotool type 3
xdotool key Return
wait_until editor_active || fail "the route dialog did not close"
wait_until more_route_pixels_than 500 || fail "no route shows on the map after Route from 3 to 7"
mainline=$(route_pixels)

# The dialog starts from the route shown; Alt+W avoids the work zone's links.
route_dialog
xdotool key alt+w
# An access key clicks its check box a tenth of a second later, as the toolkit shows the press.
sleep 0.5
xdotool key Return
wait_until editor_active || fail "the route dialog did not close (avoiding Work Zone)"
wait_until more_route_pixels_than $((mainline * 5 / 4)) ||
    fail "avoiding Work Zone did not take the longer detour ($mainline pixels before, $(route_pixels) now)"

# Escape takes the route away.
xdotool key Escape
wait_until no_route_pixels || fail "Escape left the route on the map"
echo "route end-to-end: passed"
