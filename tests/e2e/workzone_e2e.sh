#!/usr/bin/env bash
# Drives Network > Work Zone in the real editor under a virtual X server and a window manager,
# from the keyboard alone, on the bundled corridor before its work zone was marked: links 4 and 5
# selected by an expression, one lane of 1500 left open, the detour the dialog finds kept. The
# saved file must show the work zone and the eastbound frontage road as Detour 1 between its
# ramps, which stay ramps; one Undo must give back the file as it was.
# Usage: workzone_e2e.sh VANTRY SAMPLE
set -euo pipefail
vantry=$1
sample=$2

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/workzone_e2e_failure.png"

# Links 4 and 5 as mainline like their neighbours, the eastbound frontage road as mainline too.
net="$work/corridor.txt"
sed -e 's/^\([45] [56]\) 2 1600 0.500 45 190 I WZ .*/\1 3 2000 0.500 65 190 I M I-80 EB/' \
    -e 's/ I D1 Frontage Rd detour EB$/ I M Frontage Rd EB/' "$sample" >"$net"
grep -q ' WZ \| D1 ' "$net" && fail "the copy of the sample still has a work zone or a detour"

# "from-to type lanes capacity" of each link of the file, in order.
links() {
    sed -n '/^EndNodes$/,/^EndLinks$/p' "$1" | awk 'NF >= 9 { print $1 "-" $2, $9, $3, $4 }'
}
link_is() {
    links "$net" | grep -qx "$1" || fail "the saved file has no link \"$1\": $(links "$net" | tr '\n' ';')"
}
save() {
    save_with_keys "$net" "$1"
}
editor_active() {
    active_window_is "^NetQuill - "
}

# The file as it was, for after Undo.
cp "$net" "$work/original.txt"

start_editor "$net"

# Select by Expression (Ctrl+F): the two links of the work zone.
xdotool key ctrl+f
wait_for_active "^Select by Expression$" || fail "Ctrl+F showed no dialog"
xdotool type "id = 4 or id = 5"
xdotool key Return
wait_until editor_active || fail "Select by Expression did not close"

# Network > Work Zone: one open lane (the field has the focus), 1500 per lane (Alt+C), OK.
menu n w
wait_for_active "^Work Zone$" || fail "Network > Work Zone showed no dialog"
xdotool key ctrl+a
xdotool type "1"
xdotool key alt+c ctrl+a
xdotool type "1500"
xdotool key Return
wait_until editor_active || fail "the Work Zone dialog did not close"
save "after the work zone"
link_is "4-5 WZ 1 1500"
link_is "5-6 WZ 1 1500"
link_is "3-19 R 1 1200"
for road in 19-20 20-21 21-22 22-23; do
    link_is "$road D1 1 900"
done
link_is "23-7 R 1 1200"
link_is "20-19 D2 1 900"
link_is "3-4 M 3 2000"
[ "$(links "$net" | grep -c ' D1 ')" = 4 ] || fail "more than the frontage road became Detour 1"

# One Undo gives back every link as it was.
xdotool key ctrl+z
save "after Undo"
[ "$(links "$net")" = "$(links "$work/original.txt")" ] ||
    fail "one Undo did not give back the corridor: $(diff <(links "$work/original.txt") <(links "$net") | tr '\n' ';')"
cmp -s "$net" "$work/original.txt" || fail "one Undo did not give back the file byte for byte: $(diff "$work/original.txt" "$net" | head -n 5 | tr '\n' ';')"
echo "work zone end-to-end: passed"
