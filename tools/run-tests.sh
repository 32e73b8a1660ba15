#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds and runs every Korvane test on a fresh Debian 12 machine (installing what is missing):
#   1. the code style and purity checks and the normal build, warnings as errors: every test;
#   2. AddressSanitizer + UndefinedBehaviorSanitizer: every test;
#   3. ThreadSanitizer: the tests labelled "threads";
#   4. clang + libFuzzer: each fuzz target briefly;
#   5. the Debian package: built, checked, unpacked and started (tools/test-package.sh).
# Pass stage names (default asan tsan fuzz package) to run only some of them, e.g. `tools/run-tests.sh default`.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

stages=("$@")
((${#stages[@]})) || stages=(default asan tsan fuzz package)

"$root/tools/setup-deps.sh"

jobs="$(nproc)"
# Line tables only (-g1): enough for sanitizer reports and backtraces, and full debug information
# would cost about a sixth of every compile.
lines_only=-g1
configure() {  # configure <dir> [cmake args...]
  local dir="$1"
  shift
  cmake -S "$root" -B "$root/$dir" -G Ninja -DKORVANE_WARNINGS_AS_ERRORS=ON "$@" >"$root/$dir.configure.log" 2>&1 ||
    { cat "$root/$dir.configure.log"; return 1; }
}
passed=0
failed=0
run_ctest() {  # run_ctest <dir> [ctest args...]; adds to the totals printed at the end
  local dir="$1" log status=0 line
  shift
  log="$root/$dir.ctest.log"
  (cd "$root/$dir" && ctest --output-on-failure --timeout 600 -j "$jobs" "$@") 2>&1 | tee "$log" || status=$?
  line="$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)"
  if [[ "$line" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  return "$status"
}

for stage in "${stages[@]}"; do
  echo "=== tests: $stage"
  case "$stage" in
    default)
      echo "checking the code style (.clang-format)"
      git -C "$root" ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
      "$root/tools/check-purity.sh"
      configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 $lines_only -DNDEBUG"
      cmake --build build -j "$jobs"
      run_ctest build
      ;;
    asan)
      configure build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="$lines_only" -DKORVANE_SANITIZE_ADDRESS=ON \
        -DKORVANE_WITH_APP=OFF -DKORVANE_WITH_BENCHMARKS=OFF
      cmake --build build-asan -j "$jobs"
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_ctest build-asan
      ;;
    tsan)
      configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="$lines_only" -DKORVANE_SANITIZE_THREAD=ON \
        -DKORVANE_WITH_APP=OFF -DKORVANE_WITH_BENCHMARKS=OFF
      cmake --build build-tsan -j "$jobs" --target korvane_thread_tests
      TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp" \
        run_ctest build-tsan -L threads
      ;;
    fuzz)
      CC=clang CXX=clang++ configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_FUZZ=ON \
        -DKORVANE_WITH_APP=OFF -DKORVANE_WITH_BENCHMARKS=OFF -DKORVANE_WITH_TESTS=ON
      cmake --build build-fuzz -j "$jobs" --target korvane_fuzzers
      "$root/tools/run-fuzzers.sh" "$root/build-fuzz" "${KORVANE_FUZZ_SECONDS:-20}"
      ;;
    package)
      # Reuses the default stage's build when there is one, else a Release build of the programs.
      "$root/tools/test-package.sh"
      ;;
    *)
      echo "unknown stage: $stage" >&2
      exit 2
      ;;
  esac
done
echo "=== tests: all stages passed (${stages[*]})"
echo "$passed passed, $failed failed"
