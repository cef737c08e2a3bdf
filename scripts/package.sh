#!/usr/bin/env bash
# Builds the Debian package velmora_<version>_amd64.deb at the top of the checkout with CPack's DEB generator,
# from the build in build/: only the two programs, their icons, the main menu's screenshot and the manual pages.
set -euo pipefail
cd "$(dirname "$0")/.."

# scripts/setup.sh installs each of these.
missing=()
for tool in cmake cpack rsvg-convert Xvfb xdotool import dpkg-shlibdeps file gzip; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Missing: ${missing[*]}. Run scripts/setup.sh first; it installs them." >&2
    exit 1
fi

cmake -S . -B build -DVELMORA_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)" --target velmora velmora-register package-data
rm -rf build/deb
cpack --config build/CPackConfig.cmake -B build/deb
mv build/deb/velmora_*_amd64.deb .
echo "Built $(ls velmora_*_amd64.deb)."
