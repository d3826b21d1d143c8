#!/usr/bin/env bash
# Drives the real editor under a virtual X server with the real pointer and keyboard: draws a
# two-way link, saves, quits, and checks the file; then kills the editor in the middle of saves
# and checks that the file on disk is always a whole network, the old one or the new one.
# Usage: editor_e2e.sh VANTRY VANTRY_CLI EXTENSION   (EXTENSION is txt or xls)
set -euo pipefail
vantry=$1
cli=$2
ext=${3:-txt}

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session

start_editor() {
    "$vantry" "$1" >"$work/editor.log" 2>&1 &
    editor_pid=$!
    wait_for_window "NetQuill - " || true
    # Let the first paint settle before the pointer starts working.
    sleep 2
}

# Waits until the file's contents differ from what they were.
wait_for_change() {
    local before=$1 file=$2
    for _ in $(seq 100); do
        [ "$(md5sum <"$file")" != "$before" ] && return 0
        sleep 0.1
    done
    return 1
}

# The toolbar's buttons sit at fixed places: Save is the third, 2-Way Link the nineteenth.
save_button="74 34"
twoway_button="410 34"

# ---- Draw, save and quit --------------------------------------------------------------------
net="$work/net.$ext"
printf 'KX101\nEndNodes\nEndLinks\n\n0 0 0 0\n' >"$work/empty.txt"
"$cli" convert "$work/empty.txt" "$net" || fail "cannot make the starting network"
start_editor "$net"
before=$(md5sum <"$net")
xdotool mousemove $twoway_button click 1
sleep 0.5
xdotool mousemove 300 300 mousedown 1 mousemove 400 320 mousemove 500 350 mouseup 1
sleep 0.5
xdotool mousemove $save_button click 1
wait_for_change "$before" "$net" || fail "the save did not happen"
# File, then E&xit by its access key.
xdotool mousemove 20 8 click 1
sleep 0.8
xdotool key x
for _ in $(seq 300); do kill -0 "$editor_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$editor_pid" 2>/dev/null && fail "the editor did not quit"
editor_pid=

"$cli" convert "$net" "$work/check.txt" || fail "the saved network does not open"
grep -q '^1 2 2 1400 .* I  $' "$work/check.txt" || fail "no link from node 1 to node 2"
grep -q '^2 1 2 1400 .* O  $' "$work/check.txt" || fail "no link back, Outbound"
[ "$(grep -c . "$work/check.txt")" -eq 8 ] || fail "unexpected lines: $(cat "$work/check.txt")"
echo "drawn, saved and quit: ok"

# ---- Killed while saving ------------------------------------------------------------------------
# A network large enough that a save takes a while.
big="$work/big.$ext"
if [ "$ext" = txt ]; then
    python3 - "$work/big.txt" <<'PY'
import sys
n = 200
lines = ["KX101"]
lines += [f"{(i % n) * 0.01:.3f} {(i // n) * 0.01:.3f}" for i in range(n * n)]
lines.append("EndNodes")
lines += [f"{i + 1} {i + 2} 2 1400 0.010 50 190 I M street {i}" for i in range(n * n - 1)]
lines += ["EndLinks", "", "0.000 0.000 0.000 0.000"]
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY
else
    cp "$net" "$big"
fi
for attempt in 1 2 3 4 5; do
    start_editor "$big"
    xdotool mousemove $twoway_button click 1
    sleep 0.2
    xdotool mousemove 200 450 mousedown 1 mousemove 250 480 mouseup 1
    sleep 0.2
    xdotool mousemove $save_button click 1
    sleep "0.0$((RANDOM % 8))"
    kill -9 "$editor_pid" 2>/dev/null || fail "attempt $attempt: the editor ended before it was killed"
    wait "$editor_pid" 2>/dev/null || true
    editor_pid=
    "$cli" info "$big" >"$work/info" 2>&1 || fail "attempt $attempt left a damaged file: $(cat "$work/info")"
    rm -f "$work"/.vantry-save-*
done
echo "killed while saving, file always whole: ok"
