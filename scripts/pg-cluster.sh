#!/bin/bash
# A throwaway PostgreSQL server for the tests and the benchmarks: a new cluster in a temporary
# directory, listening on 127.0.0.1 at a free port, gone again after "stop".
#
#   eval "$(scripts/pg-cluster.sh start)"   # sets TROVEPORT_TEST_POSTGRES and TROVEPORT_PG_CLUSTER
#   scripts/pg-cluster.sh stop "$TROVEPORT_PG_CLUSTER"
#
# The server refuses to run as root, so under root the cluster belongs to the user "nobody". The
# superuser "troveport" connects without a password; "troveport_pw" (password "secret") must give
# its password, which the tests use to check that libpq's password file is honoured.
set -euo pipefail

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "pg-cluster.sh: PostgreSQL's server is not installed (apt-get install postgresql)" >&2
    exit 1
fi

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
    else
        "$@"
    fi
}

listening() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start() {
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/troveport-pg.XXXXXX")
    chmod 755 "$dir"
    mkdir "$dir/data"
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody:nogroup "$dir" "$dir/data"
    fi
    as_owner "$bindir/initdb" -D "$dir/data" -U troveport --auth=trust -E UTF8 --locale=C.UTF-8 \
        >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    cat >"$dir/data/pg_hba.conf" <<'EOF'
local all all trust
host all troveport_pw 127.0.0.1/32 scram-sha-256
host all all 127.0.0.1/32 trust
EOF
    # Fast and throwaway: nothing here must survive a crash.
    cat >>"$dir/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$dir'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 200
shared_buffers = 256MB
EOF
    local port tries=0
    while :; do
        port=$((20000 + RANDOM % 40000))
        if ! listening "$port" &&
            as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 -o "-p $port" start \
                >/dev/null 2>&1; then
            break
        fi
        tries=$((tries + 1))
        if [ "$tries" -ge 20 ]; then
            echo "pg-cluster.sh: the server did not start:" >&2
            cat "$dir/server.log" >&2 || true
            exit 1
        fi
    done
    "$bindir/psql" -q -h 127.0.0.1 -p "$port" -U troveport -d postgres \
        -c "CREATE ROLE troveport_pw LOGIN SUPERUSER PASSWORD 'secret'" >/dev/null
    echo "$port" >"$dir/port"
    echo "export TROVEPORT_TEST_POSTGRES='postgresql://troveport@127.0.0.1:$port/'"
    echo "export TROVEPORT_PG_CLUSTER='$dir'"
}

stop() {
    local dir=$1
    case "$dir" in
    */troveport-pg.*) ;;
    *) echo "pg-cluster.sh: $dir is not a cluster this script made" >&2; exit 1 ;;
    esac
    if [ -d "$dir/data" ]; then
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
}

case "${1:-}" in
start) start ;;
stop) stop "${2:?which cluster}" ;;
*) echo "usage: $0 start | stop DIR" >&2; exit 2 ;;
esac
