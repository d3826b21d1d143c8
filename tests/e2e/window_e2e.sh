#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager: the main window, made
# smaller and left with File, Exit, comes back at that size the next time; maximised, it comes
# back maximised. A map window maximised keeps the next one maximised. The checker, floating in
# a window of its own, comes back in front of the main window, and Check Network brings it in
# front again. F1 in a dialog opens the guide, which Escape closes.
# Usage: window_e2e.sh VANTRY
set -euo pipefail
vantry=$1

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm

start_editor() {
    "$vantry" "$@" >>"$work/editor.log" 2>&1 &
    editor_pid=$!
    wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
    main=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    wait_for_active "^NetQuill - " || fail "the editor's window did not take the keyboard"
}

quit() {
    menu f x
    wait_for_exit || fail "File, Exit did not end the editor"
}

# Maximised on the 1280 by 900 screen, the window is nearly as wide as the screen.
maximised() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    [ "$WIDTH" -ge 1250 ]
}

size() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    echo "${WIDTH}x${HEIGHT}"
}

size_is() {
    [ "$(size)" = "$1" ]
}

start_editor
first=$(size)
xdotool windowsize --sync "$main" 820 540 || true
wait_until size_is 820x540 || fail "the window manager did not resize the window: $(size)"
quit

start_editor
wait_until size_is 820x540 || fail "the window came back at $(size), not 820x540 (first $first)"
maximised && fail "the window came back maximised"
echo "the window comes back at the size it was left: ok"

# A double click on the title bar maximises it. The position xdotool gives counts the frame's
# offset twice: the title bar lies about 30 pixels above it.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 300)) $((Y - 30)) click --repeat 2 --delay 80 1
wait_until maximised || fail "the window manager did not maximise the window"
quit

start_editor
wait_until maximised || fail "the window did not come back maximised: $(size)"
echo "the window comes back maximised: ok"
quit

# ---- A maximised map window keeps the next one maximised ----------------------------------------
rm -rf "$XDG_CONFIG_HOME/Kestrin"
net="$work/net.txt"
printf 'KX101\n0 0\n1 0\n1 1\nEndNodes\n1 2 2 1800 -1 55 190 I M a\n3 3 2 1800 -1 55 190 I M c\nEndLinks\n\n0 0 0 0\n' >"$net"
start_editor "$net"
eval "$(xdotool getwindowgeometry --shell "$main")"
# The map window's title bar runs along the top of the area below the toolbar.
xdotool mousemove $((X + 200)) $((Y + 41)) click --repeat 2 --delay 80 1
wait_for_window "^NetQuill - \[net.txt\]$" || fail "the map window did not maximise"
xdotool key ctrl+n
wait_for_window "^NetQuill - \[Network1\]$" ||
    fail "the new window is not maximised: $(xdotool getwindowname "$main")"
echo "a window opened while one is maximised opens maximised: ok"

# ---- The floating checker comes back in front; Check Network brings it forward -----------------
# Stacked above the main window, bottom to top, as the window manager keeps them.
above_main() {
    local stack
    stack=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*#//; s/,/ /g')
    python3 - "$main" "$1" $stack <<'PY'
import sys
main, other, stack = int(sys.argv[1]), int(sys.argv[2]), [int(w, 16) for w in sys.argv[3:]]
sys.exit(0 if main in stack and other in stack and stack.index(other) > stack.index(main) else 1)
PY
}
menu n k
# Nothing outside the main window tells when the dock is laid out in it: a moment for that.
sleep 1
# The dock's float button sits at the right end of its title, at the top right of the window.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + WIDTH - 24)) $((Y + 39)) click 1
wait_for_window "^Network Check$" || fail "the checker did not float in a window of its own"
quit
grep -q '^Checker=true' "$XDG_CONFIG_HOME/Kestrin/Vantry.conf" ||
    fail "the floating checker is not kept shown: $(cat "$XDG_CONFIG_HOME/Kestrin/Vantry.conf")"

# Started as a user starts it, without the script bringing the main window forward.
"$vantry" "$net" >>"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
main=$(xdotool search --name "^NetQuill - " | head -n1)
wait_for_window "^Network Check$" || fail "the floating checker did not come back"
checker=$(xdotool search --onlyvisible --name "^Network Check$" | head -n1)
# What is checked is where the checker stays once the start is over, not where it passes by.
sleep 1.5
wait_until above_main "$checker" || fail "the floating checker came back behind the main window"
xdotool windowactivate --sync "$main" 2>/dev/null || true
below_main() {
    ! above_main "$1"
}
wait_until below_main "$checker" || fail "the main window did not come in front of the checker"
wait_for_active "^NetQuill - " || fail "the main window did not take the keyboard"
menu n k
wait_until above_main "$checker" || fail "Check Network left the checker behind the main window"
echo "the floating checker comes back in front and Check Network raises it: ok"

# ---- F1 in a dialog opens the guide; Escape closes the guide -------------------------------------
xdotool windowactivate --sync "$main" 2>/dev/null || true
menu n p
wait_for_window "^Preferences$" || fail "Preferences did not open"
xdotool windowactivate --sync "$(xdotool search --name "^Preferences$" | head -n1)" 2>/dev/null || true
wait_for_active "^Preferences$" || fail "Preferences did not take the keyboard"
xdotool key F1
wait_for_window "^Vantry User's Guide$" || fail "F1 in Preferences did not open the guide"
guide=$(xdotool search --name "^Vantry User's Guide$" | head -n1)
xdotool windowactivate --sync "$guide" 2>/dev/null || true
wait_for_active "^Vantry User's Guide$" || fail "the guide did not take the keyboard"
xdotool key Escape
wait_for_no_window "^Vantry User's Guide$" || fail "Escape did not close the guide"
xdotool search --onlyvisible --name "^Preferences$" >/dev/null 2>&1 ||
    fail "Escape in the guide closed Preferences too"
echo "F1 in a dialog opens the guide and Escape closes it: ok"
