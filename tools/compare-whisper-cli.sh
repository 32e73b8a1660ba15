#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Compares korvane-transcribe with whisper.cpp's own command-line example (whisper-cli) in one run on
# the same generated model (the size of Whisper tiny.en) and the same recordings: 3, 6, 10 and 20 s of
# espeak-ng speech with 1.5 s of silence at each end, 16 kHz mono, all greedy on the same number of
# threads. For each recording it reports the median time of
#   - whisper-cli's transcription of the whole recording (its total time less its load time);
#   - our pipeline (from reading the file to the cleaned text) in the standard 30 s encoder window;
#   - our pipeline in the adaptive encoder window ("adaptiveEncoderWindow");
# and each of ours as a ratio to whisper-cli: its time divided by ours, so 2.00x is twice as fast.
# Aim: the adaptive path at least 2x for 3 to 10 s of speech, and no slower than the standard
# window at 20 s.
# Also: our time outside whisper_full as a share of the standard pipeline (aim: under 2 %), and
# whether both of our paths gave the same text.
# Usage: tools/compare-whisper-cli.sh [BUILD_DIR] [RUNS]   (default build, 3 runs; medians reported)
# Needs korvane-modelgen and korvane-transcribe built, whisper-cli (KORVANE_WHISPER_CLI), espeak-ng, sox.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
runs="${2:-3}"
cli="$(grep -m1 '^KORVANE_WHISPER_CLI:' "$build/CMakeCache.txt" | cut -d= -f2- || true)"
[ -x "$cli" ] || { echo "whisper-cli not found (KORVANE_WHISPER_CLI in $build)" >&2; exit 1; }
export LD_LIBRARY_PATH="$(dirname "$cli")/../lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
transcribe="$build/tools/transcribe/korvane-transcribe"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# An empty home: no stored vocabulary or settings take part.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME"

# A model the size of Whisper tiny.en (384 wide, 6 heads, 4 + 4 blocks) that decodes a fixed phrase.
"$build/tools/modelgen/korvane-modelgen" --state 384 --heads 6 --audio-layers 4 --text-layers 4 \
  --phrase " Korvane turns your voice into text." "$work/model.bin" >/dev/null

# Enough speech for the longest recording, cut to each length.
sentence="Korvane turns your voice into text on your own machine, and nothing leaves the computer."
espeak-ng -w "$work/speech.wav" "$sentence $sentence $sentence $sentence"
sox "$work/speech.wav" -r 16000 -c 1 -b 16 "$work/speech16.wav"

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
field() { awk -v key="$1" -v n="$2" 'index($0, key) == 1 {print $n}'; }

# whisper-cli's "total time" minus its load time is its whole transcription (mel, encode, decode).
cli_seconds() {
  local log total_ms load_ms
  log="$("$cli" -m "$work/model.bin" -f "$1" -t "$threads" -bs 1 -l en -nt 2>&1)"
  total_ms="$(echo "$log" | awk '/whisper_print_timings: +total time/ {print $(NF-1)}')"
  load_ms="$(echo "$log" | awk '/whisper_print_timings: +load time/ {print $(NF-1)}')"
  echo "($total_ms - $load_ms) / 1000" | bc -l
}

# One process per transcription, as whisper-cli runs, and the three take turns, so that a busy
# moment on the machine does not fall on one of them only.
threads="$("$transcribe" --encoder-window standard "$work/model.bin" "$work/speech16.wav" | field threads: 2)"
rows=()
for speech in 3 6 10 20; do
  wav="$work/speech-$speech.wav"
  sox "$work/speech16.wav" "$work/cut.wav" trim 0 "$speech"
  sox "$work/cut.wav" "$wav" pad 1.5 1.5
  cli_times=() standard_times=() adaptive_times=() outside_shares=()
  for _ in $(seq "$runs"); do
    cli_times+=("$(cli_seconds "$wav")")
    standard="$("$transcribe" --encoder-window standard "$work/model.bin" "$wav")"
    adaptive="$("$transcribe" --encoder-window adaptive "$work/model.bin" "$wav")"
    standard_times+=("$(echo "$standard" | field pipeline 2)")
    adaptive_times+=("$(echo "$adaptive" | field pipeline 2)")
    outside_shares+=("$(echo "100 * $(echo "$standard" | field 'outside whisper' 3) / ${standard_times[-1]}" | bc -l)")
  done
  cli_time="$(printf '%s\n' "${cli_times[@]}" | median)"
  standard_time="$(printf '%s\n' "${standard_times[@]}" | median)"
  adaptive_time="$(printf '%s\n' "${adaptive_times[@]}" | median)"
  same="no"
  [ "$(echo "$standard" | field text: 0)" = "$(echo "$adaptive" | field text: 0)" ] && same="yes"
  rows+=("$(printf '%6s s %8.1f s %9.3f s %8.3f s %6.2fx %8.3f s %6.2fx %8s s %7.2f %% %6s' \
    "$speech" "$(soxi -D "$wav")" "$cli_time" \
    "$standard_time" "$(echo "$cli_time / $standard_time" | bc -l)" \
    "$adaptive_time" "$(echo "$cli_time / $adaptive_time" | bc -l)" \
    "$(echo "$adaptive" | field 'encoder window:' 3)" \
    "$(printf '%s\n' "${outside_shares[@]}" | median)" "$same")")
done

echo "model: tiny.en-sized generated model; threads: $threads; runs: $runs (medians)"
echo "ratio: whisper-cli's time / ours (2.00x = twice as fast as whisper-cli)"
printf '%8s %10s %11s %18s %18s %10s %9s %6s\n' speech recording whisper-cli "standard window" \
  "adaptive window" window outside same
printf '%s\n' "${rows[@]}"
echo "(outside: our time outside whisper_full in the standard pipeline; same: both of our paths gave the same text)"
