#!/usr/bin/env bash
# Compares korvane-transcribe with whisper.cpp's own command-line example (whisper-cli) on the same
# generated model and the same 10-second WAV (16 kHz mono, 3 s of silence at each end around about
# 4 s of espeak-ng speech), both greedy on the same number of threads.
# Reports:
#   - our time outside whisper_full, as a share of our in-process pipeline (aim: under 2 %);
#   - whisper-cli's decode time on the whole 10 s against whisper_full on our trimmed audio: the time
#     trimming saves.
# Usage: tools/compare-whisper-cli.sh [BUILD_DIR] [RUNS]   (default build, 5 runs; medians reported)
# Needs korvane-modelgen and korvane-transcribe built, whisper-cli (KORVANE_WHISPER_CLI), espeak-ng, sox.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
runs="${2:-5}"
cli="$(grep -m1 '^KORVANE_WHISPER_CLI:' "$build/CMakeCache.txt" | cut -d= -f2- || true)"
[ -x "$cli" ] || { echo "whisper-cli not found (KORVANE_WHISPER_CLI in $build)" >&2; exit 1; }
export LD_LIBRARY_PATH="$(dirname "$cli")/../lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME"

# A model the size of Whisper tiny.en (384 wide, 6 heads, 4 + 4 blocks) that decodes a fixed phrase.
"$build/tools/modelgen/korvane-modelgen" --state 384 --heads 6 --audio-layers 4 --text-layers 4 \
  --phrase " Korvane turns your voice into text." "$work/model.bin" >/dev/null

espeak-ng -w "$work/speech.wav" "Korvane turns your voice into text on your own machine."
sox "$work/speech.wav" -r 16000 -c 1 -b 16 "$work/speech16.wav"
speech_seconds="$(soxi -D "$work/speech16.wav")"
tail_seconds="$(echo "10 - 3 - $speech_seconds" | bc -l)"
sox "$work/speech16.wav" "$work/test.wav" pad 3 "$tail_seconds"
echo "audio: $(soxi -D "$work/test.wav") s, speech $speech_seconds s"

ours_out="$("$build/tools/transcribe/korvane-transcribe" --repeat "$runs" "$work/model.bin" "$work/test.wav")"
echo "$ours_out"
threads="$(echo "$ours_out" | awk '/^threads:/ {print $2}')"
ours_full="$(echo "$ours_out" | awk '/^whisper_full/ {print $2}')"
ours_pipeline="$(echo "$ours_out" | awk '/^pipeline/ {print $2}')"
ours_outside="$(echo "$ours_out" | awk '/^outside whisper/ {print $3}')"

# whisper-cli's "total time" minus its load time is its whole transcription (mel, encode, decode).
cli_times=()
for _ in $(seq "$runs"); do
  log="$("$cli" -m "$work/model.bin" -f "$work/test.wav" -t "$threads" -bs 1 -l en -nt 2>&1)"
  total_ms="$(echo "$log" | awk '/whisper_print_timings: +total time/ {print $(NF-1)}')"
  load_ms="$(echo "$log" | awk '/whisper_print_timings: +load time/ {print $(NF-1)}')"
  cli_times+=("$(echo "($total_ms - $load_ms) / 1000" | bc -l)")
done
cli_text="$(echo "$log" | grep -v '^whisper\|^main\|^system_info\|^read_audio\|^$\|^ggml\|^load_backend' | tail -1)"
cli_median="$(printf '%s\n' "${cli_times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')"

echo
echo "whisper-cli text:$cli_text"
printf 'threads                                  %d\n' "$threads"
printf 'korvane pipeline (median)                %.4f s\n' "$ours_pipeline"
printf 'korvane whisper_full on trimmed audio    %.4f s\n' "$ours_full"
printf 'korvane outside whisper_full             %.4f s (%.2f %%)\n' "$ours_outside" \
  "$(echo "100 * $ours_outside / $ours_pipeline" | bc -l)"
printf 'whisper-cli transcription, full 10 s     %.4f s\n' "$cli_median"
printf 'saved by trimming                        %.4f s (%.1f %%)\n' "$(echo "$cli_median - $ours_full" | bc -l)" \
  "$(echo "100 * ($cli_median - $ours_full) / $cli_median" | bc -l)"
