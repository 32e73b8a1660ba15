#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The check for a machine with a real GPU (meant to take under 8 minutes on 16 cores): builds the
# Vulkan variant of whisper.cpp (reused when built before) and a Korvane build against it
# (build-gpu), proves that whisper.cpp transcribes on the Vulkan device, times the CPU, CPU +
# OpenBLAS and Vulkan builds (tools/compare-backends.sh) and runs the transcriber tests on the GPU.
# Prints one table: the comparison, then the device and the tests' outcome below it.
#
#   tools/gpu-check.sh [RUNS]             the whole check (RUNS: timing runs per cell, default 3)
#   tools/gpu-check.sh --device-only DIR  only the proof, for a build DIR configured with
#                                         KORVANE_WHISPER_VARIANT=vulkan (the test command's gpu stage)
# Name the device with GGML_VK_VISIBLE_DEVICES when there are several; ggml leaves CPU-type Vulkan
# devices (lavapipe) out unless they are named, e.g. GGML_VK_VISIBLE_DEVICES=0 on a machine without GPU.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Proves that a Vulkan build runs whisper.cpp on a Vulkan device and gets the CPU's text: the build's
# test programs load the Vulkan variant's libwhisper, and that library's whisper-cli, on the device
# the environment names, decodes a generated model's phrase there. Without it the tests could pass
# on the CPU (no device found) and prove nothing. Prints the device.
prove_vulkan() {  # prove_vulkan <build dir>
  local build="$1" prefix work log text
  prefix="$(KORVANE_GPU=vulkan KORVANE_BLAS=none "$root/tools/build-whisper.sh" --prefix)"
  local program="$build/tests/transcription/whisper/korvane_whisper_transcriber_tests"
  if ! ldd "$program" | grep -q "libwhisper.* => $prefix/lib/"; then
    echo "gpu check: FAIL: $program does not load whisper.cpp from $prefix" >&2
    ldd "$program" | grep -E 'whisper|ggml' >&2
    return 1
  fi
  [ -x "$build/tools/modelgen/korvane-modelgen" ] || cmake --build "$build" --target korvane-modelgen >/dev/null
  work="$(mktemp -d "${TMPDIR:-/tmp}/korvane-gpu-check.XXXXXX")"
  # The tests' own model size (the generator's default), and two seconds of a tone.
  "$build/tools/modelgen/korvane-modelgen" --phrase " Hello from Korvane." "$work/model.bin" >/dev/null
  sox -n -r 16000 -c 1 -b 16 "$work/tone.wav" synth 2 sine 440 vol 0.3
  log="$(LD_LIBRARY_PATH="$prefix/lib" "$prefix/bin/whisper-cli" -m "$work/model.bin" -f "$work/tone.wav" -t "$(nproc)" -bs 1 -nf -l en -nt 2>&1)" ||
    { echo "$log" | tail -n 30 >&2; rm -rf "$work"; echo "gpu check: FAIL: whisper-cli of the Vulkan build failed" >&2; return 1; }
  rm -rf "$work"
  if ! grep -q 'whisper_backend_init_gpu: using Vulkan' <<<"$log"; then
    echo "$log" | grep -E 'ggml_vulkan|whisper_backend_init' >&2 || true
    echo "gpu check: FAIL: whisper.cpp found no Vulkan device (GGML_VK_VISIBLE_DEVICES=${GGML_VK_VISIBLE_DEVICES:-unset})" >&2
    return 1
  fi
  text="$(grep -v -e '^whisper_' -e '^ggml_' -e '^main:' -e '^system_info:' -e '^read_audio_data:' -e '^$' <<<"$log" | tail -n 1)"
  if [ "$text" != " Hello from Korvane." ]; then
    echo "gpu check: FAIL: the Vulkan build decoded '$text', not ' Hello from Korvane.'" >&2
    return 1
  fi
  device="$(grep -m1 -oP '^ggml_vulkan: \d+ = \K.*?(?= \|)' <<<"$log" || echo "a Vulkan device")"
  echo "gpu check: whisper.cpp transcribes on $device"
}

if [ "${1:-}" = --device-only ]; then
  [ $# -eq 2 ] || { echo "usage: tools/gpu-check.sh --device-only BUILD_DIR" >&2; exit 2; }
  prove_vulkan "$2"
  exit 0
fi

runs="${1:-3}"
started=$SECONDS
export KORVANE_GPU=vulkan KORVANE_BLAS=none
"$root/tools/setup-deps.sh"
jobs=$(($(nproc) + 1))
cmake -S "$root" -B "$root/build-gpu" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DKORVANE_WITH_APP=OFF -DKORVANE_WITH_BENCHMARKS=OFF \
  -DKORVANE_WHISPER_VARIANT=vulkan >"$root/build-gpu.configure.log" 2>&1 || { cat "$root/build-gpu.configure.log"; exit 1; }
targets=(korvane-modelgen korvane_whisper_transcriber_tests korvane_whisper_adaptive_window_tests
  korvane_whisper_transcriber_concurrency_tests korvane_whisper_damaged_model_tests)
cmake --build "$root/build-gpu" -j "$jobs" --target "${targets[@]}"
built=$SECONDS

device_line="$(prove_vulkan "$root/build-gpu")"
echo "$device_line"

table="$(KORVANE_COMPARE_GPU=yes "$root/tools/compare-backends.sh" "$root/build-gpu" "$runs")"
compared=$SECONDS

tests='^(WhisperTranscriberTest|WhisperAdaptiveWindowTest|WhisperTranscriberConcurrencyTest|WhisperDamagedModelTest)\.'
status=0
(cd "$root/build-gpu" && ctest --output-on-failure --timeout 600 -j "$(nproc)" -R "$tests") >"$root/build-gpu.ctest.log" 2>&1 || status=$?
summary="$(grep -E '% tests passed' "$root/build-gpu.ctest.log" | tail -n 1)"
[ "$status" -eq 0 ] || tail -n 60 "$root/build-gpu.ctest.log"

echo
echo "$table"
echo "| transcriber tests (build-gpu) | ${device_line#gpu check: whisper.cpp transcribes on } | ${summary:-no result, see build-gpu.ctest.log} |"
echo
echo "gpu check: built in $((built - started)) s, compared in $((compared - built)) s, tested in $((SECONDS - compared)) s"
exit "$status"
