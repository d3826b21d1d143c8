#!/usr/bin/env bash
# Installs the build into a fresh prefix, as `cmake --install` does for a user or a package, and
# checks what the desktop reads from there: the desktop entry and the AppStream description with
# their validators, the file type with the shared MIME database, and the manual pages against
# the programs' --help.
# Usage: install_test.sh BUILD_DIR
set -uo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

missing=()
for tool in desktop-file-validate appstreamcli update-mime-database gio man; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "SKIPPED: ${missing[*]} not installed (scripts/install-deps.sh installs them)"
    exit 77
fi

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"
    rm -f "$prefix.log"
    echo "FAIL: cmake --install"
    exit 1
fi
rm -f "$prefix.log"

share=$prefix/share
desktop=$share/applications/com.kestrin.vantry.desktop
metainfo=$share/metainfo/com.kestrin.vantry.metainfo.xml
for f in "$prefix/bin/vantry" "$prefix/bin/vantry-cli" "$desktop" "$metainfo" \
    "$share/mime/packages/com.kestrin.vantry.xml" "$share/icons/hicolor/scalable/apps/vantry.svg" \
    "$share/vantry/screenshots/corridor-work-zone.png" "$share/man/man1/vantry.1" \
    "$share/man/man1/vantry-cli.1"; do
    [ -s "$f" ] || fail "not installed: ${f#"$prefix"/}"
done

# The desktop entry: valid, and claiming only the files the editor opens.
if [ -f "$desktop" ]; then
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate has remarks: $out"
    types=$(sed -n 's/^MimeType=//p' "$desktop")
    for t in application/x-vantry-network application/vnd.ms-excel; do
        [[ ";$types" == *";$t;"* ]] || fail "the desktop entry does not declare $t"
    done
    [[ ";$types" != *";text/plain;"* ]] || fail "the desktop entry claims every text file"
fi

# The AppStream description: valid offline, with a description and a screenshot of its own.
if [ -f "$metainfo" ]; then
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
    grep -q '<description>' "$metainfo" || fail "the metainfo has no description"
    grep -q '<screenshot type="default">' "$metainfo" || fail "the metainfo has no screenshot"
fi
png=$share/vantry/screenshots/corridor-work-zone.png
if [ -f "$png" ]; then
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "the screenshot is not a PNG picture"
fi

# The file type, in a MIME database made of the system's types and this one: a .txt file that
# starts with "KX101" is a network, any other .txt file stays plain text.
mime=$prefix/mimedb
mkdir -p "$mime/mime/packages" "$prefix/files"
cp /usr/share/mime/packages/freedesktop.org.xml "$share/mime/packages/com.kestrin.vantry.xml" \
    "$mime/mime/packages/"
update-mime-database "$mime/mime" >/dev/null 2>&1 || fail "update-mime-database refused the package"
printf 'KX101\n0 0\nEndNodes\nEndLinks\n' >"$prefix/files/corridor.txt"
printf 'Shopping list\nmilk\n' >"$prefix/files/notes.txt"
typeof() {
    XDG_DATA_DIRS=$mime XDG_DATA_HOME=$prefix/no-home gio info -a standard::content-type "$1" |
        sed -n 's/^ *standard::content-type: //p'
}
[ "$(typeof "$prefix/files/corridor.txt")" = application/x-vantry-network ] ||
    fail "a network file is $(typeof "$prefix/files/corridor.txt")"
[ "$(typeof "$prefix/files/notes.txt")" = text/plain ] ||
    fail "a plain text file is $(typeof "$prefix/files/notes.txt")"

# The manual pages: readable by man, and naming every option the programs' --help names.
for program in vantry vantry-cli; do
    page=$share/man/man1/$program.1
    [ -f "$page" ] || continue
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>"$prefix/man.err")
    [ -s "$prefix/man.err" ] && fail "man complains about $program.1: $(cat "$prefix/man.err")"
    [[ "$text" == *"$program"* ]] || fail "$program.1 does not name $program"
    options=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
    [ -n "$options" ] || fail "$program --help names no option"
    for o in $options; do
        [[ "$text" == *"$o"* ]] || fail "$program.1 does not mention $o"
    done
done

if [ "$failures" -gt 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "installed files valid"
