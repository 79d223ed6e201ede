#!/bin/sh
# Runs a command with a throwaway PostgreSQL server for it (scripts/pg-cluster.sh), named by
# TROVEPORT_TEST_POSTGRES, and removes the server afterwards. A server already named is used as it is.
set -eu
if [ -n "${TROVEPORT_TEST_POSTGRES:-}" ]; then
    exec "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
# A server that does not start stops the run here, instead of the PostgreSQL tests skipping.
cluster=$("$here/pg-cluster.sh" start)
eval "$cluster"
trap '"$here/pg-cluster.sh" stop "$TROVEPORT_PG_CLUSTER"' EXIT INT TERM
status=0
"$@" || status=$?
exit "$status"
