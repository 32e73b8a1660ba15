#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds and runs every Korvane test on a fresh Debian 12 machine (installing what is missing):
#   1. the code style, purity and layer checks and the normal build (GCC), warnings as errors: every
#      test;
#   2. AddressSanitizer + UndefinedBehaviorSanitizer (clang): every test;
#   3. ThreadSanitizer (clang): the tests labelled "threads";
#   4. clang + libFuzzer: each fuzz target briefly;
#   5. the Debian package: built, checked, unpacked and started (tools/test-package.sh);
#   6. gpu: the transcriber tests against whisper.cpp's Vulkan build (built once per machine and
#      reused), on Mesa's software Vulkan device (lavapipe) when there is no GPU.
# Pass stage names (default asan tsan fuzz package gpu) to run only some of them, e.g. `tools/run-tests.sh default`.
# KORVANE_GPU and KORVANE_BLAS choose the whisper.cpp build of the other stages (tools/build-whisper.sh).
# The tests labelled "quiet" (real-time audio) run after the others in each stage, side by side only
# with each other: they spend their time waiting for the audio to play.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

stages=("$@")
((${#stages[@]})) || stages=(default asan tsan fuzz package gpu)
for stage in "${stages[@]}"; do
  case "$stage" in
    default | asan | tsan | fuzz | package | gpu) ;;
    *)
      echo "unknown stage: $stage" >&2
      exit 2
      ;;
  esac
done

# The whisper.cpp build the stages use, settled before the set-up so that both agree on it.
variant="$("$root/tools/build-whisper.sh" --variant)"
case "$variant" in vulkan*) export KORVANE_GPU=vulkan ;; *) export KORVANE_GPU=none ;; esac
case "$variant" in *openblas) export KORVANE_BLAS=openblas ;; *) export KORVANE_BLAS=none ;; esac
"$root/tools/setup-deps.sh"

jobs="$(nproc)"
# One compile more than processors: while one waits for the disk, the processors stay busy.
build_jobs=$((jobs + 1))
# Line tables only (-g1): enough for sanitizer reports and backtraces, and full debug information
# would cost about a sixth of every compile.
lines_only=-g1
# The sanitizer and fuzz builds compile each folder's sources as a few combined files (a unity
# build): they parse the shared headers once per batch instead of once per file. The default stage
# keeps one compile per file, which also proves every header includes what it uses.
unity=-DCMAKE_UNITY_BUILD=ON
# The sanitizer builds use clang, which compiles them in about half of GCC's time; the default stage
# keeps GCC, so both compilers' warnings hold the code to account. Named as cache values, so that a
# build folder configured with another compiler is configured afresh.
clang=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)

configure() {  # configure <dir> [cmake args...]
  local dir="$1"
  shift
  cmake -S "$root" -B "$root/$dir" -G Ninja -DKORVANE_WARNINGS_AS_ERRORS=ON -DKORVANE_WHISPER_VARIANT="$variant" "$@" \
    >"$root/$dir.configure.log" 2>&1 ||
    { cat "$root/$dir.configure.log"; return 1; }
}

build_stage() {  # build_stage <stage>: configures and builds what the stage's tests need
  case "$1" in
    default)
      configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 $lines_only -DNDEBUG"
      cmake --build build -j "$build_jobs"
      ;;
    asan)
      configure build-asan "${clang[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="$lines_only" -DKORVANE_SANITIZE_ADDRESS=ON "$unity" \
        -DKORVANE_WITH_APP=OFF -DKORVANE_WITH_BENCHMARKS=OFF
      cmake --build build-asan -j "$build_jobs"
      ;;
    tsan)
      configure build-tsan "${clang[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="$lines_only" -DKORVANE_SANITIZE_THREAD=ON "$unity" \
        -DKORVANE_WITH_APP=OFF -DKORVANE_WITH_BENCHMARKS=OFF
      cmake --build build-tsan -j "$build_jobs" --target korvane_thread_tests
      ;;
    fuzz)
      # -O1 with line tables, as libFuzzer's documentation recommends for fuzz targets.
      CC=clang CXX=clang++ configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" -DKORVANE_FUZZ=ON "$unity" \
        -DKORVANE_WITH_APP=OFF -DKORVANE_WITH_BENCHMARKS=OFF -DKORVANE_WITH_TESTS=ON
      cmake --build build-fuzz -j "$build_jobs" --target korvane_fuzzers
      ;;
    package) ;;  # tools/test-package.sh builds what it needs
    gpu)
      # The Vulkan build of whisper.cpp (its Vulkan packages too), a few minutes the first time only.
      KORVANE_GPU=vulkan KORVANE_BLAS=none "$root/tools/setup-deps.sh"
      # The variant is named after the common options, so that it wins over the other stages' one.
      configure build-gpu -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 $lines_only -DNDEBUG" \
        -DKORVANE_WITH_APP=OFF -DKORVANE_WITH_BENCHMARKS=OFF -DKORVANE_WHISPER_VARIANT=vulkan
      cmake --build build-gpu -j "$build_jobs" --target korvane-modelgen "${gpu_test_targets[@]}"
      ;;
  esac
}

# The gpu stage: the transcriber tests that run generated models through whisper.cpp with the GPU
# on (the model generator's own tests keep to the CPU, so they are left out).
gpu_test_targets=(korvane_whisper_transcriber_tests korvane_whisper_transcriber_concurrency_tests
  korvane_whisper_damaged_model_tests)
gpu_tests='^(WhisperTranscriberTest|WhisperAdaptiveWindowTest|WhisperTranscriberConcurrencyTest|WhisperDamagedModelTest)\.'
# Left out here, where the device is usually lavapipe (a CPU running the shaders, about 30 times
# slower than ggml's CPU code): the runaway decode (370 s on 2 cores), the adaptive window's
# comparison (130 s) and the repeated prompt (45 s). tools/gpu-check.sh runs them on a real GPU.
gpu_slow_tests='^(WhisperAdaptiveWindowTest\.|WhisperTranscriberTest\.TokenisesARepeatedPromptOnceAndRefitsWhenTermsOrModelChange$)'

passed=0
failed=0
ctest_pass() {  # ctest_pass <dir> <log> [ctest args...]; adds to the totals printed at the end
  local dir="$1" log="$2" status=0 line
  shift 2
  (cd "$root/$dir" && ctest --output-on-failure --timeout 600 "$@") 2>&1 | tee "$log" || status=$?
  line="$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)"
  if [[ "$line" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  return "$status"
}
# Each quiet test uses about a third of a core, so they run two to a processor.
quiet_jobs=$((2 * jobs))
run_ctest() {  # run_ctest <dir> [ctest args...]: every test, those labelled quiet last and alone
  local dir="$1" status=0
  shift
  ctest_pass "$dir" "$root/$dir.ctest.log" -j "$jobs" -LE quiet "$@" || status=$?
  ctest_pass "$dir" "$root/$dir.ctest-quiet.log" -j "$quiet_jobs" -L quiet "$@" || status=$?
  return "$status"
}

test_stage() {  # test_stage <stage>
  case "$1" in
    default)
      run_ctest build
      ;;
    asan)
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_ctest build-asan
      ;;
    tsan)
      TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp" \
        run_ctest build-tsan -L threads
      ;;
    fuzz)
      "$root/tools/run-fuzzers.sh" "$root/build-fuzz" "${KORVANE_FUZZ_SECONDS:-20}"
      ;;
    package)
      # Reuses the default stage's build when there is one, else a Release build of the programs.
      "$root/tools/test-package.sh"
      ;;
    gpu)
      # ggml leaves CPU-type Vulkan devices (lavapipe) out unless they are named; device 0 is the
      # first one, the GPU where there is one. The check first proves that the tests really run on
      # a Vulkan device: otherwise they would pass on the CPU and prove nothing.
      GGML_VK_VISIBLE_DEVICES="${GGML_VK_VISIBLE_DEVICES:-0}" "$root/tools/gpu-check.sh" --device-only "$root/build-gpu"
      GGML_VK_VISIBLE_DEVICES="${GGML_VK_VISIBLE_DEVICES:-0}" ctest_pass build-gpu "$root/build-gpu.ctest.log" \
        -j "$jobs" -R "$gpu_tests" -E "$gpu_slow_tests"
      ;;
  esac
}

if [[ " ${stages[*]} " == *" default "* ]]; then
  echo "checking the code style (.clang-format)"
  git -C "$root" ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
  "$root/tools/check-purity.sh"
  "$root/tools/check-layers.sh"
fi

for stage in "${stages[@]}"; do
  echo "=== tests: $stage"
  started=$SECONDS
  build_stage "$stage"
  built=$SECONDS
  test_stage "$stage"
  echo "=== tests: $stage: built in $((built - started)) s, tested in $((SECONDS - built)) s"
done
echo "=== tests: all stages passed (${stages[*]}) in $SECONDS s"
echo "$passed passed, $failed failed"
