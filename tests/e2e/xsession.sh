# Shared by the end-to-end scripts, which source it: a private virtual X server (and, when asked,
# the openbox window manager, without which the toolkit never takes the keyboard focus), private
# preferences and recovery files, a work folder in $work, and the removal of all of it when the
# script ends. The script keeps the editor's process id in $editor_pid so that it is killed too.
#
#     start_x_session [wm]
#     wait_for_window NAME-PATTERN    (false when no such window appears in 20 seconds)
#     fail MESSAGE                    (with the editor's output from $work/editor.log, and a
#                                      screenshot to $screenshot when the script sets one)

fail() {
    echo "FAILED: $*" >&2
    [ -n "${screenshot:-}" ] && command -v import >/dev/null && import -window root "$screenshot" || true
    [ -s "$work/editor.log" ] && sed 's/^/editor: /' "$work/editor.log" >&2
    exit 1
}

wait_for_window() {
    for _ in $(seq 200); do
        xdotool search --name "$1" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

cleanup_x_session() {
    [ -n "${editor_pid:-}" ] && kill -9 "$editor_pid" 2>/dev/null || true
    [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}

start_x_session() {
    local tools=(Xvfb xdotool)
    [ "${1:-}" = wm ] && tools+=(openbox)
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
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$work/display")"
    export XDG_CONFIG_HOME="$work/config"
    export XDG_DATA_HOME="$work/data"
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" && chmod 700 "$XDG_RUNTIME_DIR"
    unset QT_QPA_PLATFORM
    if [ "${1:-}" = wm ]; then
        openbox --sm-disable >"$work/openbox.log" 2>&1 &
        wm_pid=$!
        sleep 1
    fi
}
