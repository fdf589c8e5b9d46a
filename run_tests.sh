#!/usr/bin/env bash
# Runs every test: the C++ core tests (GoogleTest, built with AddressSanitizer and
# UndefinedBehaviorSanitizer), the type stub check, the Python tests (pytest) against the
# installed module and again against an extension built with the sanitizers, and the fuzzers.
#
#   ./run_tests.sh            C++ tests under sanitizers, then the Python tests
#   QCN0_SANITIZE=0 ./run_tests.sh   C++ tests without sanitizers, no sanitizer run of the Python tests
#   QCN0_FUZZ_SECONDS=0 ./run_tests.sh   no fuzzing (60 s per target otherwise)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here"

# Missing test requirements are installed when we may (root, as on CI); otherwise say what to do.
need_apt=()
[ -f /usr/include/gtest/gtest.h ] || need_apt+=(libgtest-dev)
command -v ninja >/dev/null 2>&1 || python3 -c "import ninja" 2>/dev/null || need_apt+=(ninja-build)
if [ "${QCN0_FUZZ_SECONDS:-60}" != "0" ]; then
  command -v clang++ >/dev/null 2>&1 || need_apt+=(clang)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need_apt+=(libclang-rt-14-dev)
fi
if [ ${#need_apt[@]} -gt 0 ]; then
  if [ "$(id -u)" = "0" ] && command -v apt-get >/dev/null; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need_apt[@]}" >/dev/null
  else
    echo "missing: ${need_apt[*]} (Debian: sudo apt-get install ${need_apt[*]})" >&2
    exit 1
  fi
fi
python3 -c "import pytest" 2>/dev/null || python3 -m pip install -q pytest
python3 -c "import quorsin_cn0" 2>/dev/null || python3 -m pip install -q .

sanitize="${QCN0_SANITIZE:-1}"
build="$here/build-tests"
[ "$sanitize" = "1" ] && build="$here/build-tests-asan"

echo "== C++ tests (sanitizers: $sanitize)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQCN0_BUILD_PYTHON=OFF \
  -DQCN0_BUILD_TESTS=ON -DQCN0_SANITIZE=$([ "$sanitize" = "1" ] && echo ON || echo OFF) >/dev/null
cmake --build "$build" -j "$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$build" --output-on-failure

# Fuzzing: every libFuzzer target for a bounded time (QCN0_FUZZ_SECONDS, 60 by default; 0 skips).
fuzz_seconds="${QCN0_FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" != "0" ]; then
  echo "== Fuzzing, $fuzz_seconds s per target"
  "$here/fuzz/run_fuzzers.sh" "$fuzz_seconds"
fi

echo "== Type stub against the built module (mypy stubtest)"
python3 -c "import mypy" 2>/dev/null || python3 -m pip install -q mypy
(cd "$here" && MYPYPATH="$here/src/python" python3 -m mypy.stubtest quorsin_cn0)

if [ "$sanitize" = "1" ]; then
  # The same Python tests against the extension built with AddressSanitizer and
  # UndefinedBehaviorSanitizer; the sanitizer runtime has to be loaded before the interpreter.
  echo "== Python tests against the sanitizer-built extension"
  cmake -S . -B "$here/build-py-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQCN0_BUILD_PYTHON=ON -DQCN0_BUILD_TESTS=OFF -DQCN0_SANITIZE=ON >/dev/null
  cmake --build "$here/build-py-asan" -j "$(nproc)" --target quorsin_cn0
  LD_PRELOAD="$(g++ -print-file-name=libasan.so)" \
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    QCN0_UNDER_SANITIZER=1 PYTHONPATH="$here/build-py-asan" python3 -m pytest -q tests/python "$@"
fi

echo "== Python tests"
python3 -m pytest -q tests/python "$@"
