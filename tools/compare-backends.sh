#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times whisper.cpp's builds against each other in one run: the plain CPU build, the CPU build with
# OpenBLAS and, where the machine has a GPU (a Vulkan device that is not a CPU implementation such
# as lavapipe), the Vulkan build. Each runs its own whisper-cli on the same generated models of the
# sizes of Whisper tiny, base and small (random weights in the real shapes, so they cost what the
# real ones cost) and the same 3, 10 and 30 s of espeak-ng speech, greedy without the temperature
# fallback (a generated model's odd probabilities would otherwise decode again a varying number of
# times), on all processors.
# The models decode a phrase of about 2.5 words per second of speech, as a speaker says them.
# Prints one markdown table: the median time of each (whisper-cli's total less its load time) and
# its ratio to the CPU build (the CPU build's time divided by it: 2.00x is twice as fast), and
# whether every build gave the CPU build's text.
#
# Usage: tools/compare-backends.sh [BUILD_DIR] [RUNS]   (default: build, 3 runs)
#   BUILD_DIR: any configured Korvane build; only its korvane-modelgen is used (built if missing).
#   KORVANE_COMPARE_GPU=auto|yes|no: time the Vulkan build (auto: when a GPU is present; yes: also
#     on lavapipe, named with GGML_VK_VISIBLE_DEVICES=0, which takes minutes per run).
#   KORVANE_COMPARE_SIZES="tiny base small", KORVANE_COMPARE_SPEECH="3 10 30": a subset.
# Builds (once; later runs reuse them) the whisper.cpp variants it times, see tools/build-whisper.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
runs="${2:-3}"
sizes=(${KORVANE_COMPARE_SIZES:-tiny base small})
speeches=(${KORVANE_COMPARE_SPEECH:-3 10 30})

modelgen="$build/tools/modelgen/korvane-modelgen"
if [ ! -x "$modelgen" ]; then
  [ -f "$build/CMakeCache.txt" ] || { echo "no configured build in $build" >&2; exit 1; }
  cmake --build "$build" --target korvane-modelgen >/dev/null
fi

variants=(cpu openblas)
labels=("CPU" "CPU + OpenBLAS")
case "${KORVANE_COMPARE_GPU:-auto}" in
  yes) use_gpu=1 ;;
  no) use_gpu=0 ;;
  auto) use_gpu=0; [ "$(env -u KORVANE_GPU -u KORVANE_BLAS "$root/tools/build-whisper.sh" --variant)" = vulkan ] && use_gpu=1 ;;
  *) echo "KORVANE_COMPARE_GPU must be auto, yes or no" >&2; exit 2 ;;
esac
if ((use_gpu)); then
  variants+=(vulkan)
  labels+=("Vulkan")
fi

# Each variant's packages and build (reused when built before).
declare -A prefix
for v in "${variants[@]}"; do
  gpu=none blas=none
  [ "$v" = vulkan ] && gpu=vulkan
  [ "$v" = openblas ] && blas=openblas
  KORVANE_GPU=$gpu KORVANE_BLAS=$blas "$root/tools/setup-deps.sh" >&2
  prefix[$v]="$(KORVANE_GPU=$gpu KORVANE_BLAS=$blas "$root/tools/build-whisper.sh" --prefix)"
  [ -x "${prefix[$v]}/bin/whisper-cli" ] || { echo "no whisper-cli in ${prefix[$v]} (a system whisper.cpp?)" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/korvane-compare.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Enough speech for the longest recording, cut to each length.
sentence="Korvane turns your voice into text on your own machine, and nothing leaves the computer."
espeak-ng -w "$work/speech.wav" "$sentence $sentence $sentence $sentence $sentence $sentence $sentence $sentence"
sox "$work/speech.wav" -r 16000 -c 1 -b 16 "$work/speech16.wav"

# A phrase of n different words (each one token of the generated vocabulary).
phrase() {
  local n="$1" i text=""
  for ((i = 0; i < n; i++)); do
    text+=" w$(printf "\\x$(printf %x $((97 + i / 26)))\\x$(printf %x $((97 + i % 26)))")"
  done
  echo "$text."
}
shape() {
  case "$1" in
    tiny) echo "--state 384 --heads 6 --audio-layers 4 --text-layers 4" ;;
    base) echo "--state 512 --heads 8 --audio-layers 6 --text-layers 6" ;;
    small) echo "--state 768 --heads 12 --audio-layers 12 --text-layers 12" ;;
    *) echo "unknown size $1" >&2; return 1 ;;
  esac
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
threads="$(nproc)"
# One whisper-cli run: prints "<seconds> <text>"; its total time less its load time is the whole
# transcription (mel, encode, decode).
run_cli() {  # run_cli <variant> <model> <wav>
  local log total_ms load_ms text
  log="$(LD_LIBRARY_PATH="${prefix[$1]}/lib" "${prefix[$1]}/bin/whisper-cli" -m "$2" -f "$3" -t "$threads" -bs 1 -nf -l en -nt 2>&1)" ||
    { echo "$log" | tail -n 20 >&2; echo "whisper-cli of the $1 build failed" >&2; return 1; }
  total_ms="$(echo "$log" | awk '/whisper_print_timings: +total time/ {print $(NF-1)}')"
  load_ms="$(echo "$log" | awk '/whisper_print_timings: +load time/ {print $(NF-1)}')"
  text="$(echo "$log" | grep -v -e '^whisper_' -e '^ggml_' -e '^main:' -e '^system_info:' -e '^read_audio_data:' -e '^$' | tail -n 1)"
  echo "$(echo "($total_ms - $load_ms) / 1000" | bc -l) $text"
}

header="| model | speech |"
rule="|---|---|"
for label in "${labels[@]}"; do
  header+=" $label |"
  rule+="---|"
done
header+=" same text |"
rule+="---|"
rows=()
for size in "${sizes[@]}"; do
  for speech in "${speeches[@]}"; do
    words=$(((speech * 5 + 1) / 2))
    model="$work/$size-$speech.bin"
    # shellcheck disable=SC2046
    "$modelgen" $(shape "$size") --phrase "$(phrase "$words")" "$model" >/dev/null
    wav="$work/speech-$speech.wav"
    sox "$work/speech16.wav" "$wav" trim 0 "$speech"
    declare -A times=() texts=()
    # The builds take turns, so that a busy moment on the machine does not fall on one of them only.
    for _ in $(seq "$runs"); do
      for v in "${variants[@]}"; do
        result="$(run_cli "$v" "$model" "$wav")"
        times[$v]+="${result%% *} "
        texts[$v]="${result#* }"
      done
    done
    row="| $size | $speech s |"
    same=yes
    for v in "${variants[@]}"; do
      t="$(printf '%s\n' ${times[$v]} | median)"
      [ "$v" = cpu ] && cpu_time="$t"
      row+="$(printf ' %.2f s (%.2fx) |' "$t" "$(echo "$cpu_time / $t" | bc -l)")"
      [ "${texts[$v]}" = "${texts[cpu]}" ] || same="no (${v}: ${texts[$v]:0:40})"
    done
    rows+=("$row $same |")
    echo "compare: $size, $speech s done" >&2
    rm -f "$model"
    unset times texts
  done
done

echo "whisper-cli, generated models of the real sizes, $threads threads, greedy; median of $runs runs;"
echo "(ratio) = CPU build's time / this build's time: 2.00x is twice as fast as the plain CPU build."
echo "$(nproc) processors: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo
echo "$header"
echo "$rule"
printf '%s\n' "${rows[@]}"
