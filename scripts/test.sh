#!/usr/bin/env bash
# Sets up and builds the programs and checks their package; then builds everything again with the sanitizers
# and runs every test there, on a file and on a throwaway PostgreSQL server, which is stopped at the end; then
# the fuzzers. Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh velmora velmora-register
eval "$(scripts/postgres.sh start)"
trap 'scripts/postgres.sh stop' EXIT
scripts/package-check.sh
scripts/sanitize.sh
scripts/fuzz.sh
