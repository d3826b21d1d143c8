#!/usr/bin/env bash
# Fails, naming the files, when a C++ source of the project is not laid out as .clang-format says.
# `clang-format-14 -i FILE` puts a file right. The version is named because another one lays some
# lines out differently; scripts/install-deps.sh installs this one.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
mapfile -t files < <(git ls-files '*.cpp' '*.h')
# One run over every file, rather than a program started for each; it names each misplaced
# line, and the files come from those names.
status=0
report=$(clang-format-14 --dry-run --Werror "${files[@]}" 2>&1) || status=$?
mapfile -t bad < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
    <<<"$report" | sort -u)
if [ "$status" -ne 0 ] && [ ${#bad[@]} -eq 0 ]; then
    echo "clang-format-14 failed:" >&2
    echo "$report" >&2
    exit 1
fi
if [ ${#bad[@]} -gt 0 ]; then
    echo "These files are not formatted as .clang-format says (run clang-format-14 -i on them):" >&2
    printf '    %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "Formatting: ${#files[@]} files checked."
