#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager: draws a link, waits past
# a two-second autosave, kills the editor, starts it again on the same file, accepts the
# recovered changes, saves, and finds the link in the file.
# Usage: recovery_e2e.sh VANTRY VANTRY_CLI
set -euo pipefail
vantry=$1
cli=$2

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm

mkdir -p "$XDG_CONFIG_HOME/Kestrin"
printf '[Settings]\nAutosaveSeconds=2\n' >"$XDG_CONFIG_HOME/Kestrin/Vantry.conf"
recovery="$XDG_DATA_HOME/Kestrin/Vantry/recovery"

start_editor() {
    "$vantry" "$1" >>"$work/editor.log" 2>&1 &
    editor_pid=$!
    wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
}

recovery_files() {
    find "$recovery" -name '*.vrec' 2>/dev/null | wc -l
}

net="$work/net.txt"
printf 'KX101\nEndNodes\nEndLinks\n\n0 0 0 0\n' >"$net"
cp "$net" "$work/original.txt"

# ---- Draw, let the autosave run, and kill the editor --------------------------------------------
start_editor "$net"
sleep 2
# The coordinates below are for the main window's client area at (91, 97), where the window
# manager puts it on an empty screen; `at` moves them to wherever it is.
win=$(xdotool search --name "^NetQuill - " | head -n1)
eval "$(xdotool getwindowgeometry --shell "$win")"
dx=$((X - 91))
dy=$((Y - 97))
at() { echo "$(($1 + dx)) $(($2 + dy))"; }
link_button=$(at 474 111)
save_button=$(at 165 111)

xdotool mousemove $link_button click 1
sleep 0.3
xdotool mousemove $(at 300 400) mousedown 1 mousemove $(at 380 420) mousemove $(at 500 450)
sleep 0.2
xdotool mousemove $(at 500 450) mouseup 1
sleep 0.5
for _ in $(seq 60); do
    [ "$(recovery_files)" -gt 0 ] && break
    sleep 0.1
done
[ "$(recovery_files)" -gt 0 ] || fail "no recovery file after the autosave interval"
# One more interval, so that the file holds the finished drawing whenever the first one ran.
sleep 2.5
kill -9 "$editor_pid"
wait "$editor_pid" 2>/dev/null || true
editor_pid=
cmp -s "$net" "$work/original.txt" || fail "the network's own file was written"

# ---- Start again on the same file and accept -----------------------------------------------------
"$vantry" "$net" >>"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "^Vantry$" || fail "no question about the unsaved changes"
question=$(xdotool search --name "^Vantry$" | head -n1)
xdotool windowactivate --sync "$question" 2>/dev/null || true
sleep 0.5
xdotool key y
for _ in $(seq 50); do
    xdotool search --onlyvisible --name "^Vantry$" >/dev/null 2>&1 || break
    sleep 0.1
done
wait_for_window "^NetQuill - net.txt" || fail "the recovered network has no window"
sleep 1
win=$(xdotool search --name "^NetQuill - " | head -n1)
eval "$(xdotool getwindowgeometry --shell "$win")"
dx=$((X - 91))
dy=$((Y - 97))
save_button=$(at 165 111)
xdotool mousemove $save_button click 1
for _ in $(seq 50); do
    cmp -s "$net" "$work/original.txt" || break
    sleep 0.1
done
"$cli" info "$net" >"$work/info" || fail "the saved network does not open"
grep -q '^nodes 2$' "$work/info" || fail "the recovered nodes are not in the file: $(cat "$work/info")"
grep -q '^links 1$' "$work/info" || fail "the recovered link is not in the file: $(cat "$work/info")"
for _ in $(seq 20); do
    [ "$(recovery_files)" -eq 0 ] && break
    sleep 0.1
done
[ "$(recovery_files)" -eq 0 ] || fail "recovery files left after the save: $(ls "$recovery")"
echo "killed after an autosave, recovered, saved: ok"
