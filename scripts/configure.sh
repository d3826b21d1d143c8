# Sourced by the build scripts. Configures a build folder for the given cache settings unless it
# already holds exactly those, so that a folder follows a changed option at once while a folder
# that has them is left alone (and has nothing to rebuild).
#
#     configure_tree BUILD_DIR SOURCE_DIR -DNAME=VALUE...
#
# Only the settings named are compared: an option set by hand in the folder and not named stays.
configure_tree() {
    local build=$1 source=$2 setting name value
    shift 2
    local stale=
    if [ ! -f "$build/build.ninja" ] || [ ! -f "$build/CMakeCache.txt" ]; then
        stale=yes
    fi
    for setting in "$@"; do
        [ -n "$stale" ] && break
        case "$setting" in
        -D*=*) ;;
        *) continue ;;
        esac
        name=${setting#-D}
        value=${name#*=}
        name=${name%%=*}
        name=${name%%:*}
        # The cache keeps a setting as NAME:TYPE=VALUE.
        if [ "$(sed -n "s/^$name:[A-Z]*=//p" "$build/CMakeCache.txt")" != "$value" ]; then
            echo "Reconfiguring $build: $name is to be $value"
            stale=yes
        fi
    done
    if [ -n "$stale" ]; then
        cmake -S "$source" -B "$build" -G Ninja "$@"
    fi
}
