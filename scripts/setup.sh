#!/usr/bin/env bash
# Installs what is missing on a Debian 12 machine, then configures and builds Velmora in build/: the given
# targets (scripts/test.sh asks for the programs alone), or everything.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake make ninja-build pkg-config
    qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql qt6-svg-dev libsqlite3-dev
    postgresql
    fonts-liberation fonts-dejavu-core fonts-droid-fallback poppler-utils
    mdbtools-dev
    xvfb xauth xdotool
    clang libclang-rt-14-dev llvm
    librsvg2-bin imagemagick dpkg-dev file lintian desktop-file-utils appstream mandoc
)

missing=()
for package in "${packages[@]}"; do
    if [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Ninja where the folder is new (a folder keeps the generator it was made with).
generator=()
if [ ! -f build/CMakeCache.txt ] && command -v ninja >/dev/null; then
    generator=(-G Ninja)
fi
cmake -S . -B build "${generator[@]}" -DVELMORA_WERROR=ON
cmake --build build -j"$(nproc)" ${1:+--target "$@"}
