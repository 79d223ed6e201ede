#!/bin/bash
# PostgreSQL servers for the tests, the benchmarks and the demonstration, listening on 127.0.0.1 at
# a free port.
#
# Without a directory, a throwaway server: a new cluster in a temporary directory, gone again after
# "stop". Its superuser "troveport" connects without a password; "troveport_pw" (password "secret")
# must give its password, which the tests use to check that libpq's password file is honoured.
#
#   eval "$(scripts/pg-cluster.sh start)"   # sets TROVEPORT_TEST_POSTGRES and TROVEPORT_PG_CLUSTER
#   scripts/pg-cluster.sh stop "$TROVEPORT_PG_CLUSTER"
#
# With a directory, a kept server: the cluster is made there on the first start and used again on
# later ones, on a new free port each time; "stop" stops the server and keeps the cluster. Its
# superuser "troveport" gives a password, made at the first start and kept in DIR/pgpass, so that
# other users of the machine cannot use the server while it runs.
#
#   eval "$(scripts/pg-cluster.sh start DIR)"  # also sets PGPASSFILE to DIR/pgpass
#   scripts/pg-cluster.sh stop DIR
#
# The server refuses to run as root, so under root the cluster belongs to the user "nobody", who
# must then be able to reach DIR.
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

# Directories the server writes to belong to the user it runs as.
own() {
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody:nogroup "$@"
    fi
}

listening() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# A text as the shell reads it back in single quotes, for the lines that are eval'ed.
quoted() {
    printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"
}

# Starts the server of a cluster on a free port and prints the port.
launch() {
    local data=$1 log=$2 port tries=0
    while :; do
        port=$((20000 + RANDOM % 40000))
        if ! listening "$port" &&
            as_owner "$bindir/pg_ctl" -D "$data" -l "$log" -w -t 30 -o "-p $port" start >/dev/null 2>&1; then
            echo "$port"
            return
        fi
        tries=$((tries + 1))
        if [ "$tries" -ge 20 ]; then
            echo "pg-cluster.sh: the server did not start:" >&2
            cat "$log" >&2 || true
            exit 1
        fi
    done
}

start() {
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/troveport-pg.XXXXXX")
    chmod 755 "$dir"
    mkdir "$dir/data"
    own "$dir" "$dir/data"
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
    local port
    port=$(launch "$dir/data" "$dir/server.log")
    "$bindir/psql" -q -h 127.0.0.1 -p "$port" -U troveport -d postgres \
        -c "CREATE ROLE troveport_pw LOGIN SUPERUSER PASSWORD 'secret'" >/dev/null
    echo "$port" >"$dir/port"
    echo "export TROVEPORT_TEST_POSTGRES='postgresql://troveport@127.0.0.1:$port/'"
    echo "export TROVEPORT_PG_CLUSTER='$dir'"
}

# Makes a kept cluster in dir: the data, the server's log, the superuser's password file.
make_kept() {
    local dir=$1 password
    mkdir -p "$dir/data" "$dir/log"
    chmod 700 "$dir/data" "$dir/log"
    own "$dir/data" "$dir/log"
    password=$(head -c 32 /dev/urandom | base64 | tr -dc 'A-Za-z0-9')
    # initdb reads the password from a file; only the server's user may read it, and only meanwhile.
    (umask 077 && printf '%s\n' "$password" >"$dir/log/password")
    own "$dir/log/password"
    if ! as_owner "$bindir/initdb" -D "$dir/data" -U troveport --pwfile="$dir/log/password" \
        --auth=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/log/initdb.log" 2>&1; then
        rm -f "$dir/log/password"
        cat "$dir/log/initdb.log" >&2
        rm -rf "$dir/data"
        exit 1
    fi
    rm -f "$dir/log/password"
    cat >"$dir/data/pg_hba.conf" <<'EOF'
host all all 127.0.0.1/32 scram-sha-256
EOF
    # Only TCP: a socket path under a long home directory could exceed what the system allows.
    cat >>"$dir/data/postgresql.conf" <<'EOF'
listen_addresses = '127.0.0.1'
unix_socket_directories = ''
EOF
    (umask 077 && printf '127.0.0.1:*:*:troveport:%s\n' "$password" >"$dir/pgpass")
    touch "$dir/kept"
}

start_kept() {
    local dir
    mkdir -p "$1"
    dir=$(cd "$1" && pwd)
    if [ "$(id -u)" -eq 0 ]; then
        chmod 755 "$dir"
        if ! as_owner test -x "$dir"; then
            echo "pg-cluster.sh: the server runs as \"nobody\" under root, and nobody cannot reach $dir;" \
                "choose a directory outside root's home" >&2
            exit 1
        fi
    else
        chmod 700 "$dir"
    fi
    if [ ! -f "$dir/kept" ]; then
        make_kept "$dir"
    fi
    if as_owner "$bindir/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
        echo "pg-cluster.sh: the server of $dir is running already" >&2
        exit 1
    fi
    local port
    port=$(launch "$dir/data" "$dir/log/server.log")
    echo "export TROVEPORT_TEST_POSTGRES=$(quoted "postgresql://troveport@127.0.0.1:$port/")"
    echo "export TROVEPORT_PG_CLUSTER=$(quoted "$dir")"
    echo "export PGPASSFILE=$(quoted "$dir/pgpass")"
}

stop() {
    local dir=$1
    if [ -f "$dir/kept" ]; then
        # Shut down cleanly: the cluster is used again.
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
        return
    fi
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
start)
    if [ -n "${2:-}" ]; then
        start_kept "$2"
    else
        start
    fi
    ;;
stop) stop "${2:?which cluster}" ;;
*) echo "usage: $0 start [DIR] | stop DIR" >&2; exit 2 ;;
esac
