#!/usr/bin/env bash
# Sets up and builds Velmora, then runs every test. Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure
