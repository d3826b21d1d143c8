# Shared by the end-to-end scripts, which source it: a private virtual X server (and, when asked,
# the openbox window manager, without which the toolkit never takes the keyboard focus), private
# preferences and recovery files, a work folder in $work, and the removal of all of it when the
# script ends. The script keeps the editor's process id in $editor_pid so that it is killed too.
#
# The scripts wait for what they expect to see, never for a fixed time: a busy machine makes them
# slower, not wrong. Every wait gives up after $e2e_patience seconds (30 unless set).
#
#     start_x_session [wm]
#     wait_until COMMAND...           (false when COMMAND has not succeeded within the patience)
#     wait_for_window NAME-PATTERN    (a visible window whose title matches; false as above)
#     wait_for_no_window NAME-PATTERN (no visible window's title matches any more)
#     wait_for_active NAME-PATTERN    (the window manager has given such a window the focus)
#     wait_for_exit                   (the editor has ended; $editor_pid is cleared)
#     wait_for_change FILE MD5        (FILE's md5sum is no longer MD5)
#     menu MENU-KEY ITEM-KEY...       (Alt+MENU-KEY opens a menu of the active window; the keys
#                                      follow once it shows)
#     fail MESSAGE                    (with the editor's output from $work/editor.log, the windows
#                                      shown, and a screenshot to $screenshot when the script
#                                      sets one)

e2e_patience=${e2e_patience:-30}

fail() {
    echo "FAILED: $*" >&2
    [ -n "${screenshot:-}" ] && command -v import >/dev/null && import -window root "$screenshot" || true
    [ -s "$work/editor.log" ] && sed 's/^/editor: /' "$work/editor.log" >&2
    local w
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        echo "window shown: $(xdotool getwindowname "$w" 2>/dev/null)" >&2
    done
    echo "window active: $(xdotool getactivewindow getwindowname 2>/dev/null)" >&2
    exit 1
}

wait_until() {
    local deadline=$((SECONDS + e2e_patience))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}

visible_window() {
    xdotool search --onlyvisible --name "$1"
}

no_visible_window() {
    ! xdotool search --onlyvisible --name "$1"
}

wait_for_window() {
    wait_until visible_window "$1"
}

wait_for_no_window() {
    wait_until no_visible_window "$1"
}

active_window_is() {
    local name
    name=$(xdotool getactivewindow getwindowname 2>/dev/null) || return 1
    [[ "$name" =~ $1 ]]
}

wait_for_active() {
    wait_until active_window_is "$1"
}

editor_ended() {
    ! kill -0 "$editor_pid" 2>/dev/null
}

wait_for_exit() {
    wait_until editor_ended || return 1
    wait "$editor_pid" 2>/dev/null || true
    editor_pid=
}

file_differs() {
    [ "$(md5sum <"$1")" != "$2" ]
}

wait_for_change() {
    wait_until file_differs "$1" "$2"
}

# The editor's windows that show: its menus once open are among them.
shown_windows() {
    xdotool search --onlyvisible --pid "$editor_pid" 2>/dev/null | wc -l
}

more_windows_than() {
    [ "$(shown_windows)" -gt "$1" ]
}

menu() {
    local before
    before=$(shown_windows)
    xdotool key "alt+$1"
    wait_until more_windows_than "$before" || fail "Alt+$1 opened no menu"
    shift
    xdotool key "$@"
}

# Starts the editor on a file (its output in $work/editor.log) and waits until its window has the
# keyboard.
start_editor() {
    "$vantry" "$1" >"$work/editor.log" 2>&1 &
    editor_pid=$!
    wait_for_window "^NetQuill - " || fail "the editor's window did not appear"
    local win
    win=$(xdotool search --onlyvisible --name "^NetQuill - " | head -n1)
    xdotool windowactivate --sync "$win" 2>/dev/null || true
    wait_for_active "^NetQuill - " || fail "the editor's window did not take the keyboard"
}

# Ctrl+S, and waits until the file has changed; $2 says what the save was for.
save_with_keys() {
    local before
    before=$(md5sum <"$1")
    xdotool key ctrl+s
    wait_for_change "$1" "$before" || fail "Ctrl+S did not save ($2)"
}

cleanup_x_session() {
    [ -n "${editor_pid:-}" ] && kill -9 "$editor_pid" 2>/dev/null || true
    [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}

# Openbox names the window it announces itself with on the root window.
window_manager_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'
}

start_x_session() {
    local tools=(Xvfb xdotool)
    [ "${1:-}" = wm ] && tools+=(openbox xprop)
    for tool in "${tools[@]}"; do
        if ! command -v "$tool" >/dev/null; then
            echo "$tool is missing (run scripts/install-deps.sh)" >&2
            exit 1
        fi
    done

    work=$(mktemp -d)
    xvfb_pid=
    wm_pid=
    editor_pid=
    trap cleanup_x_session EXIT

    # -noreset: by default the server resets when its last client goes, and an editor started
    # right after the previous one was killed would find no display to connect to.
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_until test -s "$work/display" || fail "the virtual X server did not start"
    export DISPLAY=":$(head -n1 "$work/display")"
    export XDG_CONFIG_HOME="$work/config"
    export XDG_DATA_HOME="$work/data"
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" && chmod 700 "$XDG_RUNTIME_DIR"
    unset QT_QPA_PLATFORM
    if [ "${1:-}" = wm ]; then
        openbox --sm-disable >"$work/openbox.log" 2>&1 &
        wm_pid=$!
        wait_until window_manager_running || fail "the window manager did not start"
    fi
}
