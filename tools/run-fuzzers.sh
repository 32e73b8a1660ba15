#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every fuzz target built in <build-dir> for <seconds> each, starting from its committed seed
# corpus (tests/fuzz/corpus/<name>/). New inputs go to a scratch copy, never into the repository.
# Usage: tools/run-fuzzers.sh <build-dir> [seconds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?build directory}"
seconds="${2:-20}"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/korvane-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

found=0
for target in "$build"/tests/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  found=1
  name="$(basename "$target")"
  mkdir -p "$scratch/$name"
  seeds="$root/tests/fuzz/corpus/$name"
  [ -d "$seeds" ] && cp -r "$seeds/." "$scratch/$name/"
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$scratch/" \
    "$scratch/$name" 2>"$scratch/$name.log" || { tail -n 60 "$scratch/$name.log"; exit 1; }
  grep -E '^(Done|#[0-9]+ +DONE)' "$scratch/$name.log" | tail -n 1 || true
done
[ "$found" = 1 ] || { echo "fuzz: no targets in $build/tests/fuzz" >&2; exit 1; }
