#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: once as built for users,
# once under AddressSanitizer and UndefinedBehaviorSanitizer; then runs each
# fuzz target for 20 seconds (clang, libFuzzer, build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/setup.sh build
ctest --test-dir build --output-on-failure -j "$jobs"

scripts/setup.sh build-asan -DQUILLORY_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j "$jobs"

# Any finding of the fuzz targets fails the run (see scripts/fuzz.sh).
scripts/fuzz.sh --check 20
