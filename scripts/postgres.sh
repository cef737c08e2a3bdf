#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests, reached only through a socket in a folder of its own.
#   scripts/postgres.sh start   starts one and prints the line to eval: export VELMORA_TEST_SERVER=…
#   scripts/postgres.sh stop    stops the one started, and the pair below, and removes their folders
# PostgreSQL refuses to run as root, so the server runs as the postgres user. Test programs keep a connection
# open for each register they used, and two run at once: they need more than the default hundred.
#
# A primary with a synchronous streaming standby, for the failover test, apart from the server above:
#   scripts/postgres.sh start --standby   starts the pair and prints: export VELMORA_TEST_STANDBY=<both hosts' URI>
#   scripts/postgres.sh kill-primary      stops the primary at once (pg_ctl stop -m immediate)
#   scripts/postgres.sh promote           makes the standby the primary
#   scripts/postgres.sh rejoin            makes the stopped one a synchronous standby of the new primary again
set -euo pipefail
cd "$(dirname "$0")/.."

# Where this checkout notes the servers it started, so that two checkouts never stop each other's.
state=${VELMORA_PG_STATE:-$PWD/build/postgres.folder}
pair_state=$state.standby
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

# The pair: servers "one" (port 5432) and "two" (5433), each with its data and socket in its own folder; the file
# "primary" names the one that takes writes.
pair() {
    [ -f "$pair_state" ] || { echo "no primary and standby started: $0 start --standby" >&2; exit 1; }
    cat "$pair_state"
}
port_of() { if [ "$1" = one ]; then echo 5432; else echo 5433; fi; }
other_of() { if [ "$1" = one ]; then echo two; else echo one; fi; }

start_server() { # folder, name
    as_postgres "$(bin)/pg_ctl" -D "$1/$2/data" -l "$1/$2/server.log" -w \
        -o "-c listen_addresses='' -k $1/$2 -p $(port_of "$2") -c fsync=off -c max_connections=200" start >/dev/null
}

psql_on() { # folder, name, statement
    as_postgres "$(bin)/psql" -X -q -At -h "$1/$2" -p "$(port_of "$2")" -U postgres -d postgres -c "$3"
}

# A standby made from the primary, streaming to it; the primary then waits for it at every commit.
add_standby() { # folder, primary, standby
    local folder=$1 primary=$2 standby=$3
    rm -rf "${folder:?}/$standby"
    as_postgres mkdir -m 700 "$folder/$standby"
    as_postgres "$(bin)/pg_basebackup" -h "$folder/$primary" -p "$(port_of "$primary")" -U postgres \
        -D "$folder/$standby/data" -R -X stream -c fast -N -d "application_name=velmora_standby"
    start_server "$folder" "$standby"
    psql_on "$folder" "$primary" "ALTER SYSTEM SET synchronous_standby_names = 'velmora_standby'" >/dev/null
    psql_on "$folder" "$primary" "SELECT pg_reload_conf()" >/dev/null
    for _ in $(seq 100); do
        [ "$(psql_on "$folder" "$primary" "SELECT count(*) FROM pg_stat_replication WHERE sync_state = 'sync'")" = 1 ] &&
            return 0
        sleep 0.1
    done
    echo "the standby did not begin streaming; see $folder/$standby/server.log" >&2
    exit 1
}

case "${1:-} ${2:-}" in
"start ")
    pgbin=$(bin)
    folder=$(mktemp -d /tmp/velmora-postgres.XXXXXX)
    chown postgres: "$folder"
    echo "$folder" >"$state"
    as_postgres "$pgbin/initdb" -D "$folder/data" --locale=C.UTF-8 -E UTF8 --auth=trust -U postgres >"$folder/initdb.log"
    as_postgres "$pgbin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
        -o "-c listen_addresses='' -k $folder -c fsync=off -c max_connections=200" start >/dev/null
    echo "export VELMORA_TEST_SERVER='postgresql:///postgres?host=$folder&user=postgres'"
    ;;
"start --standby")
    folder=$(mktemp -d /tmp/velmora-standby.XXXXXX)
    chown postgres: "$folder"
    echo "$folder" >"$pair_state"
    as_postgres mkdir -m 700 "$folder/one"
    as_postgres "$(bin)/initdb" -D "$folder/one/data" --locale=C.UTF-8 -E UTF8 --auth=trust -U postgres \
        >"$folder/initdb.log"
    echo one | as_postgres tee "$folder/primary" >/dev/null
    start_server "$folder" one
    add_standby "$folder" one two
    echo "export VELMORA_TEST_STANDBY='postgresql:///postgres?host=$folder/one,$folder/two&port=5432,5433&user=postgres'"
    echo "# $0 kill-primary, then $0 promote, fail over; $0 rejoin makes a standby again; $0 stop stops both"
    ;;
"kill-primary ")
    folder=$(pair)
    as_postgres "$(bin)/pg_ctl" -D "$folder/$(cat "$folder/primary")/data" -m immediate -w stop >/dev/null
    ;;
"promote ")
    folder=$(pair)
    standby=$(other_of "$(cat "$folder/primary")")
    as_postgres "$(bin)/pg_ctl" -D "$folder/$standby/data" -w promote >/dev/null
    echo "$standby" | as_postgres tee "$folder/primary" >/dev/null
    ;;
"rejoin ")
    folder=$(pair)
    primary=$(cat "$folder/primary")
    add_standby "$folder" "$primary" "$(other_of "$primary")"
    ;;
"stop ")
    if [ -f "$state" ]; then
        folder=$(cat "$state")
        as_postgres "$(bin)/pg_ctl" -D "$folder/data" -m fast -w stop >/dev/null 2>&1 || true
        rm -rf "$folder" "$state"
    fi
    if [ -f "$pair_state" ]; then
        folder=$(cat "$pair_state")
        for name in one two; do
            as_postgres "$(bin)/pg_ctl" -D "$folder/$name/data" -m fast -w stop >/dev/null 2>&1 || true
        done
        rm -rf "$folder" "$pair_state"
    fi
    ;;
*)
    echo "usage: $0 start [--standby] | stop | kill-primary | promote | rejoin" >&2
    exit 2
    ;;
esac
