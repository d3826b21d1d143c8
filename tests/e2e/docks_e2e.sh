#!/usr/bin/env bash
# Drives the docks of the real editor under a virtual X server and a window manager, from the
# keyboard alone: the link table opened with its key, a row found by the filter,
# copied through Edit > Copy and pasted through the table's context menu (the automatic length
# stays automatic), two cells of one column set at once, links deleted with Del, the checker
# opened with its key. The saved file, vantry-cli check and the preferences file tell what
# happened.
# Usage: docks_e2e.sh VANTRY VANTRY_CLI
set -euo pipefail
vantry=$1
cli=$2

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm
screenshot="${TMPDIR:-/tmp}/docks_e2e_failure.png"

# Link 2 is twice as long as link 1, both lengths automatic; link 3 is a self-link and link 4,
# with a typed length, is "I-80 EB".
net="$work/net.txt"
printf 'KX101\n0 0\n1 0\n1 2\nEndNodes\n1 2 2 1800 -1 55 190 I M Main St\n2 3 2 1200 -1 55 190 I M Oak Ave\n3 3 2 1800 -1 55 190 I M loop\n3 1 2 1500 9.5 55 190 I M I-80 EB\nEndLinks\n\n0 0 0 0\n' >"$net"

start_editor "$net"
# Ctrl+T shows the table with the focus in its filter box; Down goes on to the first row found.
# Once in the table, Ctrl+T twice hides it and shows it again, back in the filter box.
filter() {
    xdotool key ctrl+a BackSpace
    [ -z "$1" ] || xdotool type "$1"
    sleep 0.5
    xdotool key Down
    sleep 0.3
}
back_to_filter() {
    xdotool key ctrl+t
    sleep 0.5
    xdotool key ctrl+t
    sleep 0.5
}

xdotool key ctrl+t
sleep 1

# "st main" finds only "Main St"; its row goes to the clipboard through Edit > Copy.
filter "st main"
menu e c
sleep 0.5
back_to_filter
filter ""
# Pasted onto link 2 from the table's context menu, opened with the Menu key.
xdotool key Down
sleep 0.3
before=$(shown_windows)
xdotool key Menu
wait_until more_windows_than "$before" || fail "the Menu key on a row showed no menu"
xdotool key p
sleep 0.5

# Capacity of links 1 and 2, typed once: the first row's capacity cell (the fifth column), with
# the second row added to the selection.
xdotool key Up Right Right Right Right shift+Down
sleep 0.3
xdotool type 1500
xdotool key Return
sleep 0.5

# Del on the self-link's row, then on the row the filter finds for "80".
xdotool key Down
sleep 0.3
xdotool key Delete
sleep 0.5
back_to_filter
filter 80
xdotool key Delete
sleep 0.5
before=$(md5sum <"$net")
xdotool key ctrl+s
wait_for_change "$net" "$before" || fail "Ctrl+S did not save"
xdotool key ctrl+k

# Link 2 keeps its own automatic length (2, not link 1's 1) and took link 1's description.
grep -q '^1 2 2 1500 1.000 55 190 I M Main St$' "$net" ||
    fail "link 1 was not set from the table: $(cat "$net")"
grep -q '^2 3 2 1500 2.000 55 190 I M Main St$' "$net" ||
    fail "link 2 was not pasted onto, or its automatic length was not kept: $(cat "$net")"
[ "$(grep -c ' I M ' "$net")" = 2 ] || fail "Del did not delete links 3 and 4: $(cat "$net")"

status=0
out=$("$cli" check "$net") || status=$?
[ "$status" = 0 ] || [ "$status" = 3 ] || fail "vantry-cli check exited with $status"
case "$out" in
*self-link*) fail "the self-link is still there: $out" ;;
esac

conf="$XDG_CONFIG_HOME/Kestrin/Vantry.conf"
kept() {
    grep -q "$1" "$conf"
}
wait_until kept '^LinkTable=true' || fail "the link table's visibility was not kept: $(cat "$conf")"
wait_until kept '^Checker=true' || fail "the checker's visibility was not kept: $(cat "$conf")"
echo "docks end-to-end: passed"
