#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests, reached only through a socket in a folder of its own.
#   scripts/postgres.sh start   starts one and prints the line to eval: export VELMORA_TEST_SERVER=…
#   scripts/postgres.sh stop    stops the one started, and removes its folder
# PostgreSQL refuses to run as root, so the server runs as the postgres user. Test programs keep a connection
# open for each register they used, and two run at once: they need more than the default hundred.
set -euo pipefail
cd "$(dirname "$0")/.."

# Where this checkout notes the server it started, so that two checkouts never stop each other's.
state=${VELMORA_PG_STATE:-$PWD/build/postgres.folder}
mkdir -p "$(dirname "$state")"

bin() {
    local dir
    dir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    [ -n "$dir" ] || { echo "PostgreSQL is not installed (package postgresql)" >&2; exit 1; }
    echo "$dir"
}

as_postgres() {
    if [ "$(id -un)" = postgres ]; then "$@"; else runuser -u postgres -- "$@"; fi
}

case "${1:-}" in
start)
    pgbin=$(bin)
    folder=$(mktemp -d /tmp/velmora-postgres.XXXXXX)
    chown postgres: "$folder"
    echo "$folder" >"$state"
    as_postgres "$pgbin/initdb" -D "$folder/data" --locale=C.UTF-8 -E UTF8 --auth=trust -U postgres >"$folder/initdb.log"
    as_postgres "$pgbin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
        -o "-c listen_addresses='' -k $folder -c fsync=off -c max_connections=200" start >/dev/null
    echo "export VELMORA_TEST_SERVER='postgresql:///postgres?host=$folder&user=postgres'"
    ;;
stop)
    [ -f "$state" ] || exit 0
    folder=$(cat "$state")
    as_postgres "$(bin)/pg_ctl" -D "$folder/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$folder" "$state"
    ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
