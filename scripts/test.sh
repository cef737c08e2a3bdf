#!/usr/bin/env bash
# Sets up and builds the programs and checks their package; meanwhile builds everything again with the
# sanitizers, then runs every test there, on a file and on a throwaway PostgreSQL server, which is stopped at the
# end, with a primary and its standby for the failover test; then the fuzzers. Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh velmora velmora-register
eval "$(scripts/postgres.sh start)"
log=$(mktemp)
trap 'scripts/postgres.sh stop; rm -f "$log"' EXIT
eval "$(scripts/postgres.sh start --standby)" # a primary and its standby for the failover test; stop stops both

# The package check spends much of its time waiting on apt, lintian and an X server: the sanitizer build goes
# on beside it, and its report follows once both are done.
scripts/package-check.sh >"$log" 2>&1 &
checking=$!
built=0
scripts/sanitize.sh --build-only || built=$?
checked=0
wait "$checking" || checked=$?
cat "$log"
[ "$built" -eq 0 ] && [ "$checked" -eq 0 ] || exit 1

scripts/sanitize.sh
scripts/fuzz.sh
