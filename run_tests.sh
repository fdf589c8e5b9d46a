#!/usr/bin/env bash
# The tests.
#
#   ./run_tests.sh          the C++ tests (GoogleTest) and the Python tests (pytest) on a release
#                           build in build-tests/: a few minutes, rebuilds only what changed
#   ./run_tests.sh --all    also the C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer,
#                           the fuzzers for a bounded time (QCN0_FUZZ_SECONDS per target, 30 by
#                           default), the type stub against the module (mypy stubtest), the Python
#                           tests against an extension built with the sanitizers, and last the
#                           Python tests against the installed module (what .ci/run runs)
#
# Other arguments go to pytest (e.g. -k cli, -x). Missing Debian packages are installed when run as
# root; otherwise the script says what to install.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here"

all=0
pytest_args=()
for arg in "$@"; do
  case "$arg" in
    --all) all=1 ;;
    *) pytest_args+=("$arg") ;;
  esac
done

need_apt=()
[ -f /usr/include/gtest/gtest.h ] || need_apt+=(libgtest-dev)
command -v ninja >/dev/null 2>&1 || python3 -c "import ninja" 2>/dev/null || need_apt+=(ninja-build)
if [ "$all" = 1 ]; then
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
python3 -c "import pytest, click, plotly" 2>/dev/null || python3 -m pip install -q pytest click plotly

jobs="$(nproc)"
echo "== Release build of the library, the extension and the C++ tests (build-tests/)"
cmake -S . -B build-tests -G Ninja -DCMAKE_BUILD_TYPE=Release -DQCN0_BUILD_PYTHON=ON -DQCN0_BUILD_TESTS=ON >/dev/null
cmake --build build-tests -j "$jobs"
echo "== C++ tests"
ctest --test-dir build-tests --output-on-failure

if [ "$all" = 0 ]; then
  echo "== Python tests"
  PYTHONPATH="$here/build-tests/python" python3 -m pytest -q tests/python ${pytest_args[@]+"${pytest_args[@]}"}
  exit $?
fi

echo "== C++ tests under the sanitizers (build-tests-asan/)"
cmake -S . -B build-tests-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQCN0_BUILD_PYTHON=OFF \
  -DQCN0_BUILD_TESTS=ON -DQCN0_SANITIZE=ON >/dev/null
cmake --build build-tests-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-tests-asan --output-on-failure

fuzz_seconds="${QCN0_FUZZ_SECONDS:-30}"
if [ "$fuzz_seconds" != "0" ]; then
  echo "== Fuzzing, $fuzz_seconds s per target"
  "$here/fuzz/run_fuzzers.sh" "$fuzz_seconds"
fi

echo "== Type stub against the module (mypy stubtest)"
python3 -c "import mypy" 2>/dev/null || python3 -m pip install -q mypy
PYTHONPATH="$here/build-tests/python" MYPYPATH="$here/src/python" python3 -m mypy.stubtest quorsin_cn0

# The Python tests against the extension built with the sanitizers; their runtime has to be loaded
# before the interpreter.
echo "== Python tests against the sanitizer-built extension (build-py-asan/)"
cmake -S . -B build-py-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQCN0_BUILD_PYTHON=ON -DQCN0_BUILD_TESTS=OFF -DQCN0_SANITIZE=ON >/dev/null
cmake --build build-py-asan -j "$jobs" --target quorsin_cn0
LD_PRELOAD="$(g++ -print-file-name=libasan.so)" \
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  QCN0_UNDER_SANITIZER=1 PYTHONPATH="$here/build-py-asan/python" \
  python3 -m pytest -q tests/python ${pytest_args[@]+"${pytest_args[@]}"}

# Last, so that pytest's summary closes the run: the installed module, as users get it.
echo "== Python tests against the installed module"
python3 -c "import quorsin_cn0" 2>/dev/null || python3 -m pip install -q .
(cd /tmp && python3 -c "import quorsin_cn0, sys; sys.stdout.write('installed: ' + quorsin_cn0.__file__ + '\n')")
python3 -m pytest -q tests/python ${pytest_args[@]+"${pytest_args[@]}"}
