#!/usr/bin/env bash
# Drives the real editor under a virtual X server and a window manager: the main window, made
# smaller and left with File, Exit, comes back at that size the next time; maximised, it comes
# back maximised.
# Usage: window_e2e.sh VANTRY
set -euo pipefail
vantry=$1

source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_x_session wm

start_editor() {
    "$vantry" >>"$work/editor.log" 2>&1 &
    editor_pid=$!
    wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
    main=$(xdotool search --name "^NetQuill - " | head -n1)
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    sleep 1.5
}

quit() {
    xdotool key alt+f
    sleep 0.5
    xdotool key x
    for _ in $(seq 100); do kill -0 "$editor_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$editor_pid" 2>/dev/null && fail "File, Exit did not end the editor"
    editor_pid=
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

start_editor
first=$(size)
xdotool windowsize --sync "$main" 820 540 || true
sleep 1
[ "$(size)" = 820x540 ] || fail "the window manager did not resize the window: $(size)"
quit

start_editor
[ "$(size)" = 820x540 ] || fail "the window came back at $(size), not 820x540 (first $first)"
maximised && fail "the window came back maximised"
echo "the window comes back at the size it was left: ok"

# A double click on the title bar maximises it. The position xdotool gives counts the frame's
# offset twice: the title bar lies about 30 pixels above it.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 300)) $((Y - 30)) click --repeat 2 --delay 80 1
for _ in $(seq 30); do maximised && break; sleep 0.1; done
maximised || fail "the window manager did not maximise the window"
quit

start_editor
for _ in $(seq 30); do maximised && break; sleep 0.1; done
maximised || fail "the window did not come back maximised: $(size)"
echo "the window comes back maximised: ok"
