#!/usr/bin/env bash
# Runs the test programs under the sanitizers:
#   build-asan  AddressSanitizer + UndefinedBehaviorSanitizer (+ LeakSanitizer):
#               every GoogleTest program (all labels but e2e)
#   build-tsan  ThreadSanitizer: the sound library, audio handle, music-disk and recorder-file tests
# Any finding fails the run. Suppressions (third-party code only, each with
# its reason) live in tests/sanitizers/.
#   scripts/sanitize.sh [asan|tsan]...   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
san=$root/tests/sanitizers
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(asan tsan)

# Exported for the build too: test discovery runs the programs.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$san/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$san/ubsan.supp:${UBSAN_OPTIONS:-}"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$san/tsan.supp:${TSAN_OPTIONS:-}"

timed() {  # label command...
  local start=$SECONDS
  "${@:2}"
  echo "-- $1: $((SECONDS - start)) s"
}

for kind in "${kinds[@]}"; do
  case $kind in
    asan)
      timed "asan configure" cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DORBA_SANITIZE="address;undefined" -DORBA_BUILD_TOOLS=ON >/dev/null
      # The test programs and the tools they call; not the benchmarks.
      mapfile -t targets < <(ninja -C build-asan -t targets all | sed -n 's/^\(\(tests\|tools\/[^/]*\)\/all\): phony$/\1/p')
      timed "asan build" cmake --build build-asan -j2 --target "${targets[@]}"
      # Mesa's EGL vendor library and its DRI driver are dlopen'd and dlclose'd
      # again; blocks still held by their globals look leaked once the library
      # is unmapped (stacks end in "<unknown module>"). Loaded up front they
      # stay mapped, so LeakSanitizer sees those roots and still reports real
      # leaks. (The test programs link the ASan runtime themselves; ctest and
      # bash, which do not, just carry the two libraries along.)
      preload=""
      for lib in /usr/lib/x86_64-linux-gnu/dri/swrast_dri.so /usr/lib/x86_64-linux-gnu/libEGL_mesa.so.0; do
        [ -e "$lib" ] && preload+="$lib "
      done
      # Two test programs at a time keeps both cores busy.
      timed "asan tests" env LD_PRELOAD="$preload" ASAN_OPTIONS="verify_asan_link_order=0:$ASAN_OPTIONS" bash -c 'cd build-asan && ctest --output-on-failure -j2 -LE e2e'
      ;;
    tsan)
      timed "tsan configure" cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DORBA_SANITIZE=thread -DORBA_BUILD_TOOLS=ON >/dev/null
      # Only the programs the run needs (and the tools they call), not the
      # whole tree.
      mapfile -t targets < <(ninja -C build-tsan -t targets all |
        sed -n -e 's/^\(orba_test_\(audio\|platform_sound\|platform_record\|musicdisk\)\): phony$/\1/p' -e 's/^\(tools\/[^/]*\/all\): phony$/\1/p')
      timed "tsan build" cmake --build build-tsan -j2 --target "${targets[@]}"
      timed "tsan tests" bash -c "cd build-tsan && ctest --output-on-failure -L 'audio|platform_sound|platform_record|musicdisk'"
      ;;
    *)
      echo "unknown kind $kind (asan or tsan)" >&2
      exit 2
      ;;
  esac
done
