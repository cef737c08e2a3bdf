#!/usr/bin/env bash
# Sets up and builds Velmora, then runs every test; then again under the sanitizers, and the fuzzers.
# Needs no display. A throwaway PostgreSQL server runs for the server tests, and a primary with a standby for the
# failover test; both are stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
eval "$(scripts/postgres.sh start)"
trap 'scripts/postgres.sh stop' EXIT
eval "$(scripts/postgres.sh start --standby)" # a primary and its standby for the failover test; stop stops both
ctest --test-dir build --output-on-failure
scripts/package-check.sh
scripts/sanitize.sh
scripts/fuzz.sh
