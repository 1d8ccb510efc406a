#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz, instrumented with address and
# undefined-behaviour sanitizers) and runs each briefly. Exits non-zero when a fuzzer finds a
# crash, a leak or a time-out. FUZZ_SECONDS sets the time per target (default 30, shortened so
# that all targets together run for at most two minutes).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
seconds=${FUZZ_SECONDS:-30}
fixtures="$(cd .. && pwd)/shared/fixtures"
sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cc=$(command -v clang-14 || command -v clang)
cxx=$(command -v clang++-14 || command -v clang++)

cmake -S . -B "$build" -G Ninja -DKIVTAB_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_C_FLAGS="$sanitizers" -DCMAKE_CXX_FLAGS="$sanitizers" >/dev/null

mapfile -t targets < <(cmake --build "$build" --target help | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\):.*/\1/p' | sort -u)
if [ "${#targets[@]}" -eq 0 ]; then
  echo "fuzz.sh: no fuzz targets" >&2
  exit 1
fi
cmake --build "$build" --target "${targets[@]}" -j2
if [ $((seconds * ${#targets[@]})) -gt 120 ]; then
  seconds=$((120 / ${#targets[@]}))
fi

# The sample files seed the packet fuzzers when they are there; a plain clone has none.
[ -d "$fixtures/cds" ] || echo "fuzz.sh: no sample files in $fixtures/cds; packet fuzzers start from empty corpora"

status=0
for target in "${targets[@]}"; do
  binary=$(find "$build/fuzz" -type f -name "$target" -perm -u+x | head -n1)
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  seeds=()
  case "$target" in
    fuzz_cds_binary) seeds=("$fixtures/cds/"*.cds) ;;
    fuzz_cds_xml) seeds=("$fixtures/cds/"*.xml) ;;
  esac
  for seed in "${seeds[@]}"; do
    [ -f "$seed" ] && cp -n "$seed" "$corpus/" 2>/dev/null || true
  done
  echo "== $target (${seconds}s)"
  if ! "$binary" "$corpus" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/$target-"; then
    echo "fuzz.sh: $target found a failure; see $build/$target-*" >&2
    status=1
  fi
done
exit $status
