#!/usr/bin/env bash
# Sets up and builds Velmora, then starts it. Without a display, run it as: xvfb-run scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/velmora
