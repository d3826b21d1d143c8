#!/usr/bin/env bash
# Fails, naming the files, when a C++ source of the project is not laid out as .clang-format says.
# `clang-format -i FILE` puts a file right.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
mapfile -t files < <(git ls-files '*.cpp' '*.h')
bad=()
for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        bad+=("$f")
    fi
done
if [ ${#bad[@]} -gt 0 ]; then
    echo "These files are not formatted as .clang-format says (run clang-format -i on them):" >&2
    printf '    %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "Formatting: ${#files[@]} files checked."
