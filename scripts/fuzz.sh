#!/bin/sh
# Runs the libFuzzer targets of the sanitizer build (build-asan, made by scripts/sanitize.sh).
#   scripts/fuzz.sh [--runs N | --time SECONDS] [target ...]
# Each target starts from its seeds in fuzz/corpus/<target> (and the project's test data beside the
# project, when it is there) and keeps what it learns in build-asan/fuzz-corpus/<target>. A fault
# stops the run with the input that caused it in build-asan/fuzz-artifacts/.
set -eu
cd "$(dirname "$0")/.."
limit="-runs=2000"
case "${1:-}" in
--runs) limit="-runs=$2"; shift 2 ;;
--time) limit="-max_total_time=$2"; shift 2 ;;
esac
targets="$*"
if [ -z "$targets" ]; then
    targets=$(sed -n 's/^    \(fuzz_[a-z_]*\)$/\1/p' fuzz/CMakeLists.txt)
fi

root=$(pwd)
testdata="$root/../shared/testdata/bbs-archives"
mkdir -p build-asan/fuzz-artifacts
failed=""
# The readers use no settings of this machine, and their temporary directories stay in the run's own.
export TROVEPORT_MACHINE_REG="$root/build-asan/fuzz-settings/machine.reg"
export TROVEPORT_USER_REG="$root/build-asan/fuzz-settings/user.reg"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
for target in $targets; do
    corpus="build-asan/fuzz-corpus/$target"
    mkdir -p "$corpus"
    seeds="fuzz/corpus/$target"
    if [ -d "$testdata" ]; then
        case "$target" in
        fuzz_zipdesc) seeds="$seeds $testdata/zip" ;;
        fuzz_uploaddesc | fuzz_reviewfile | fuzz_submissions | fuzz_clipboard) seeds="$seeds $testdata/desc" ;;
        esac
    fi
    tmp=$(mktemp -d)
    echo "== $target ($limit)"
    # shellcheck disable=SC2086
    if ! TMPDIR="$tmp" "build-asan/fuzz/$target" $limit -timeout=20 -rss_limit_mb=2048 -max_len=262144 \
        -print_final_stats=1 -artifact_prefix="build-asan/fuzz-artifacts/$target-" "$corpus" $seeds; then
        failed="$failed $target"
    fi
    rm -rf "$tmp"
done
if [ -n "$failed" ]; then
    echo "Faults found by:$failed (inputs in build-asan/fuzz-artifacts/)" >&2
    exit 1
fi
