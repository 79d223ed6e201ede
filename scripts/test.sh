#!/bin/sh
# Installs what is missing, builds, and runs every test headless: the database tests on SQLite and
# again on a throwaway PostgreSQL server. Then makes the Debian package and checks it in a scratch root.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ../scripts/with-postgres.sh ctest --output-on-failure --parallel "$(nproc)"
cd ..
./scripts/package.sh
