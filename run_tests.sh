#!/usr/bin/env bash
# Runs every test: the C++ core tests (GoogleTest, built with AddressSanitizer and
# UndefinedBehaviorSanitizer) and the Python tests (pytest) against the installed module.
#
#   ./run_tests.sh            C++ tests under sanitizers, then the Python tests
#   QCN0_SANITIZE=0 ./run_tests.sh   C++ tests without sanitizers
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here"

sanitize="${QCN0_SANITIZE:-1}"
build="$here/build-tests"
[ "$sanitize" = "1" ] && build="$here/build-tests-asan"

echo "== C++ tests (sanitizers: $sanitize)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQCN0_BUILD_PYTHON=OFF \
  -DQCN0_BUILD_TESTS=ON -DQCN0_SANITIZE=$([ "$sanitize" = "1" ] && echo ON || echo OFF) >/dev/null
cmake --build "$build" -j "$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$build" --output-on-failure

echo "== Python tests"
python3 -m pytest -q tests/python "$@"
