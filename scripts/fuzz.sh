#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) into build-fuzz and runs
# each for SECONDS (default 60) on a scratch copy of its seed corpus, so the
# committed corpus never grows. Fails if any target finds a crash, a leak or
# undefined behaviour; the input is left in build-fuzz/artifacts/<target>/.
#   scripts/fuzz.sh [SECONDS] [extra libFuzzer flags...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
shift || true

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORBA_FUZZ=ON -DORBA_BUILD_TESTS=OFF -DORBA_BUILD_TOOLS=OFF >/dev/null
cmake --build build-fuzz -j2 >/dev/null

san=$root/tests/sanitizers
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$san/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$san/ubsan.supp:${UBSAN_OPTIONS:-}"

# target  max_len  dictionary
targets=(
  "fuzz_audio_load 65536 audio.dict"
  "fuzz_png_texture 16384 png.dict"
  "fuzz_font_scan 16384 png.dict"
)
failed=()
summary=()
for row in "${targets[@]}"; do
  read -r name maxlen dict <<<"$row"
  exe=build-fuzz/tests/fuzz/$name
  if [ ! -x "$exe" ]; then
    echo "== $name: not built here (its code is not on this branch), skipped"
    continue
  fi
  work=build-fuzz/fuzz-work/$name
  artifacts=build-fuzz/artifacts/$name
  rm -rf "$work"
  mkdir -p "$work" "$artifacts"
  cp tests/fuzz/corpus/$name/* "$work/"
  seeds=("$work")
  [ -d tests/fuzz/regressions/$name ] && seeds+=("tests/fuzz/regressions/$name")
  echo "== $name: ${seconds}s"
  log=build-fuzz/fuzz-work/$name.log
  # New inputs go into the first folder only: the scratch copy.
  if "$exe" -max_total_time="$seconds" -max_len="$maxlen" -dict="tests/fuzz/$dict" \
      -timeout=30 -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$@" "${seeds[@]}" >"$log" 2>&1; then
    execs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    summary+=("$name: ${execs:-?} executions, no crash")
  else
    tail -n 60 "$log"
    failed+=("$name")
    summary+=("$name: FAILED (inputs in $artifacts/, log $log)")
  fi
done
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: crashes in ${failed[*]}" >&2
  exit 1
fi
