#!/usr/bin/env bash
# Sets up and builds Velmora, then runs every test; then again under the sanitizers, and the fuzzers.
# Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure
scripts/sanitize.sh
scripts/fuzz.sh
