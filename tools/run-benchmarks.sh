#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the benchmarks (optimised) and prints their figures. Benchmarks never fail a build; they
# are the numbers we report. Extra arguments go to every benchmark binary
# (e.g. --benchmark_filter=Clean).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/setup-deps.sh" >/dev/null
cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_WITH_TESTS=OFF \
  -DKORVANE_WITH_APP=OFF >/dev/null
cmake --build "$root/build-bench" -j "$(nproc)"
find "$root/build-bench/bench" -type f -perm -u+x -name '*bench*' | sort | while read -r binary; do
  echo "=== $(basename "$binary")"
  "$binary" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
done
