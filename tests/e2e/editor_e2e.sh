#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager with the real pointer and
# keyboard: draws a two-way link, saves, quits, and checks the file; then kills the editor in the
# middle of saves and checks that the file on disk is always a whole network, the old one or the
# new one.
# Usage: editor_e2e.sh VANTRY VANTRY_CLI EXTENSION   (EXTENSION is txt or xls)
set -euo pipefail
vantry=$1
cli=$2
ext=${3:-txt}

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm

# Starts the editor on a file and waits until its window has the keyboard; `at` gives screen
# positions from positions in the window.
start_editor() {
    "$vantry" "$1" >"$work/editor.log" 2>&1 &
    editor_pid=$!
    wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
    main=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    wait_for_active "^NetQuill - " || fail "the editor's window did not take the keyboard"
    eval "$(xdotool getwindowgeometry --shell "$main")"
}
at() { echo "$(($1 + X)) $(($2 + Y))"; }

# ---- Draw, save and quit --------------------------------------------------------------------
net="$work/net.$ext"
printf 'KX101\nEndNodes\nEndLinks\n\n0 0 0 0\n' >"$work/empty.txt"
"$cli" convert "$work/empty.txt" "$net" || fail "cannot make the starting network"
start_editor "$net"
before=$(md5sum <"$net")
# Network, 2-Way Link; a drag on the map; File, Save; File, Exit.
menu n 2
xdotool mousemove $(at 300 300) mousedown 1 mousemove $(at 400 320) mousemove $(at 500 350) mouseup 1
wait_for_window "^NetQuill - .*\*" || fail "the drawing did not mark the network modified"
menu f s
wait_for_change "$net" "$before" || fail "the save did not happen"
menu f x
wait_for_exit || fail "the editor did not quit"

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
    menu n 2
    # A new place each time: a link drawn again where the last save put one changes nothing.
    left=$((100 + 90 * attempt))
    xdotool mousemove $(at $left 450) mousedown 1 mousemove $(at $((left + 50)) 480) mouseup 1
    wait_for_window "^NetQuill - .*\*" ||
        fail "attempt $attempt: the drawing did not mark the network modified"
    xdotool key ctrl+s
    # The kill falls at a different moment of the save each time.
    sleep "0.0$((RANDOM % 8))"
    kill -9 "$editor_pid" 2>/dev/null || fail "attempt $attempt: the editor ended before it was killed"
    wait "$editor_pid" 2>/dev/null || true
    editor_pid=
    "$cli" info "$big" >"$work/info" 2>&1 || fail "attempt $attempt left a damaged file: $(cat "$work/info")"
    rm -f "$work"/.vantry-save-*
done
echo "killed while saving, file always whole: ok"
