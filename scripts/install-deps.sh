#!/usr/bin/env bash
# Installs the Debian packages Vantry needs to build and test, but only those that are missing,
# so that a machine that has everything starts building at once.
set -euo pipefail

packages=(
    # scripts/check-format.sh takes the list of sources from git.
    git
    cmake
    ninja-build
    g++
    ccache
    pkg-config
    qt6-base-dev
    qt6-svg-dev
    qt6-image-formats-plugins
    fonts-liberation
    libgtest-dev
    libgmock-dev
    libbenchmark-dev
    xvfb
    xdotool
    openbox
    # import and convert: screenshots of failed end-to-end tests, and the route e2e test's pixels.
    imagemagick
    x11-utils
    python3
    libgsf-1-dev
    libzstd-dev
    zlib1g-dev
    libtiff-dev
    python3-xlrd
    python3-xlwt
    # An independent graph library that checks the routes and detours vantry-cli finds.
    python3-networkx
    # Two spreadsheets that must open the workbooks Vantry writes and keep what it stores in them.
    gnumeric
    libreoffice-calc-nogui
    clang-14
    # The version scripts/check-format.sh calls: another lays some lines out differently.
    clang-format-14
    libclang-rt-14-dev
    llvm-14
    help2man
    desktop-file-utils
    appstream
    shared-mime-info
    libglib2.0-bin
    man-db
    libgdal-dev
    # PROJ: where networks lie on Earth (src/geo).
    libproj-dev
    # SQLite: GeoPackage spatial indexes packed by the export (src/exchange).
    libsqlite3-dev
    gdal-bin
    libosmium2-dev
    libprotozero-dev
    libexpat1-dev
    libbz2-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg -s "$p" >/dev/null 2>&1 ||
        ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "These packages are missing and installing them needs root. Run:" >&2
    echo "    sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    echo "then run this command again." >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
