#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs each for a bounded time.
#
#   fuzz/run_fuzzers.sh [seconds_per_target] [target ...]
#
# Targets: obs nav tle analysis decode (all when none is named); 60 seconds each by default.
# The corpora live in build-fuzz/corpus/<target>/ and grow from run to run; they start from the
# hand-written seeds of fuzz/seeds/<target>/ and from the station files of ../shared/data (small
# ones whole, large ones cut to their header and first kilobytes), never copied into the
# repository. An input that crashes, leaks, hangs or runs out of memory is copied to
# tests/fuzz_regressions/<target>/, where the C++ tests replay it, and the script exits non-zero.
#
# Needs clang and libFuzzer (Debian: clang libclang-rt-14-dev), cmake, ninja and zlib1g-dev.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(obs nav tle analysis decode)
build="$here/build-fuzz"
data="$here/../shared/data"

cxx="${CXX_FUZZ:-$(command -v clang++ || command -v clang++-14 || true)}"
[ -n "$cxx" ] || { echo "clang++ not found (Debian: apt-get install clang libclang-rt-14-dev)" >&2; exit 2; }
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)

cmake -S "$here" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$cxx" -DQCN0_FUZZ=ON -DQCN0_BUILD_PYTHON=OFF -DQCN0_BUILD_TESTS=OFF \
  >/dev/null || exit 2
echo "== building the fuzz targets in $build"
cmake --build "$build" -j "$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}") \
  >"$build/build.log" 2>&1 || { tail -n 40 "$build/build.log" >&2; exit 2; }

# --- Seed corpora -------------------------------------------------------------------------
# A text file cut after its header and `kb` more kilobytes, at a line end.
cut_text() {  # file kb
  python3 - "$1" "$2" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
end = data.find(b'END OF HEADER')
start = data.find(b'\n', end) + 1 if end >= 0 else 0
stop = min(len(data), start + int(sys.argv[2]) * 1024)
if stop < len(data):
    stop = data.rfind(b'\n', start, stop) + 1 or stop
sys.stdout.buffer.write(data[:stop])
EOF
}
# Unix compress seeds only where compress(1) is installed (Debian: ncompress).
have_compress=0
command -v compress >/dev/null 2>&1 && have_compress=1

seed_corpus() {  # target
  local t="$1" dir="$build/corpus/$1"
  mkdir -p "$dir"
  cp -n "$here/fuzz/seeds/$t/"* "$dir/" 2>/dev/null || true
  [ -d "$data" ] || return 0
  local f base
  case "$t" in
    obs|analysis)
      for f in "$data"/*.[0-9][0-9][oO] "$data"/*_MO.rnx "$data"/*.obs "$data"/*.crx "$data"/*.[0-9][0-9]d; do
        [ -f "$f" ] || continue
        base="$(basename "$f")"
        [ -f "$dir/data-$base" ] || cut_text "$f" 24 >"$dir/data-$base"
      done
      for f in "$data"/*.crx.gz; do
        [ -f "$f" ] || continue
        base="$(basename "$f" .gz)"
        [ -f "$dir/data-$base" ] || { gzip -dc "$f" 2>/dev/null | head -c 2000000 >"$build/tmp.crx"; cut_text "$build/tmp.crx" 24 >"$dir/data-$base"; }
      done
      # An observation file with its own navigation file after a "#NAV#" line (same days).
      if [ "$t" = analysis ]; then
        for pair in delf0010.21o:AMEL00NLD_R_20210010000_01D_MN.rnx zimm0010.21o:brdc0010.21n \
                    slac1180.21o:brdc1180.21n SEPT265G.21O:SEPT2650.21P; do
          o="$data/${pair%%:*}" n="$data/${pair##*:}"
          [ -f "$o" ] && [ -f "$n" ] || continue
          [ -f "$dir/pair-${pair%%:*}" ] && continue
          { cut_text "$o" 8; printf '#NAV#\n'; cut_text "$n" 8; } >"$dir/pair-${pair%%:*}"
        done
      fi
      ;;
    nav)
      for f in "$data"/*.[0-9][0-9][nNgGpP] "$data"/*_[MGRECJ]N.rnx "$data"/*.nav; do
        [ -f "$f" ] || continue
        base="$(basename "$f")"
        [ -f "$dir/data-$base" ] || cut_text "$f" 24 >"$dir/data-$base"
      done
      for f in "$data"/*N.rnx.gz; do
        [ -f "$f" ] || continue
        base="$(basename "$f" .gz)"
        [ -f "$dir/data-$base.gz" ] || { gzip -dc "$f" | head -c 200000 >"$build/tmp.nav"; cut_text "$build/tmp.nav" 16 | gzip -c >"$dir/data-$base.gz"; }
      done
      ;;
    tle)
      for f in "$data"/gnss_*.txt; do
        [ -f "$f" ] && cp -n "$f" "$dir/data-$(basename "$f")"
      done
      ;;
    decode)
      # Packed forms of small pieces of real files: gzip, Unix compress, Compact RINEX and
      # Compact RINEX inside both.
      for f in "$data"/*.crx.gz "$data"/*.crx; do
        [ -f "$f" ] || continue
        base="$(basename "$f" .gz)"
        [ -f "$dir/data-$base" ] && continue
        if [ "${f%.gz}" != "$f" ]; then gzip -dc "$f" 2>/dev/null | head -c 1000000 >"$build/tmp.crx"; else cp "$f" "$build/tmp.crx"; fi
        cut_text "$build/tmp.crx" 12 >"$dir/data-$base"
        gzip -c "$dir/data-$base" >"$dir/data-$base.gz"
        [ $have_compress = 1 ] && compress -c -f <"$dir/data-$base" >"$dir/data-$base.Z"
      done
      for f in "$data"/delf0010.21o "$data"/brdc0010.21n; do
        [ -f "$f" ] || continue
        base="$(basename "$f")"
        [ -f "$dir/data-$base.gz" ] && continue
        cut_text "$f" 8 >"$build/tmp.txt"
        gzip -c "$build/tmp.txt" >"$dir/data-$base.gz"
        [ $have_compress = 1 ] && compress -c -f <"$build/tmp.txt" >"$dir/data-$base.Z"
      done
      ;;
  esac
  rm -f "$build"/tmp.*
}

# --- Runs ---------------------------------------------------------------------------------
status=0
for t in "${targets[@]}"; do
  case "$t" in
    decode) max_len=262144 ;;
    *) max_len=65536 ;;
  esac
  seed_corpus "$t"
  artifacts="$build/artifacts/$t"
  rm -rf "$artifacts"
  mkdir -p "$artifacts"
  case "$t" in
    tle) dict=(-dict="$here/fuzz/dicts/tle.dict") ;;
    *) dict=(-dict="$here/fuzz/dicts/rinex.dict") ;;
  esac
  echo "== fuzz_$t for ${seconds}s (max_len $max_len)"
  "$build/fuzz/fuzz_$t" "$build/corpus/$t" "${dict[@]}" -max_total_time="$seconds" -max_len="$max_len" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    >"$build/fuzz_$t.log" 2>&1
  rc=$?
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' "$build/fuzz_$t.log"
  grep -E '^Done [0-9]+ runs' "$build/fuzz_$t.log" | tail -1
  found=("$artifacts"/*)
  if [ $rc -ne 0 ] || [ -e "${found[0]}" ]; then
    status=1
    echo "fuzz_$t FAILED (exit $rc); log: $build/fuzz_$t.log" >&2
    grep -E 'ERROR|SUMMARY|fuzz_[a-z]+: ' "$build/fuzz_$t.log" | head -5 >&2
    mkdir -p "$here/tests/fuzz_regressions/$t"
    for a in "${found[@]}"; do
      [ -e "$a" ] || continue
      cp "$a" "$here/tests/fuzz_regressions/$t/$(basename "$a")"
      echo "  kept $(basename "$a") in tests/fuzz_regressions/$t/" >&2
    done
  fi
done
exit $status
