#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every fuzz target built in <build-dir> for <seconds> each, starting from its committed seed
# corpus (tests/fuzz/corpus/<name>/). New inputs go to a scratch copy, never into the repository.
# The targets all run at once; with more targets than processors each runs longer in proportion, so
# that each still gets <seconds> of processor time.
# Usage: tools/run-fuzzers.sh <build-dir> [seconds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?build directory}"
seconds="${2:-20}"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/korvane-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

targets=()
for target in "$build"/tests/fuzz/*_fuzz; do
  [ -x "$target" ] && targets+=("$target")
done
((${#targets[@]})) || { echo "fuzz: no targets in $build/tests/fuzz" >&2; exit 1; }

fuzz() {  # fuzz <target>: runs one target, then prints its summary or, when it failed, its log
  local target="$1" name seeds
  name="$(basename "$target")"
  mkdir -p "$scratch/$name"
  seeds="$root/tests/fuzz/corpus/$name"
  [ -d "$seeds" ] && cp -r "$seeds/." "$scratch/$name/"
  if "$target" -max_total_time="$wall" -print_final_stats=0 -artifact_prefix="$scratch/$name-" \
    "$scratch/$name" 2>"$scratch/$name.log"; then
    echo "fuzz: $name for ${wall}s beside the others: $(grep -E '^(Done|#[0-9]+ +DONE)' "$scratch/$name.log" | tail -n 1)"
  else
    echo "fuzz: $name FAILED:"
    tail -n 60 "$scratch/$name.log"
    return 1
  fi
}

processors="$(nproc)"
wall=$(((seconds * ${#targets[@]} + processors - 1) / processors))
((wall >= seconds)) || wall="$seconds"
pids=()
failed=0
for target in "${targets[@]}"; do
  fuzz "$target" &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
exit "$failed"
