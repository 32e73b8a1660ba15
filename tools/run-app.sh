#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Korvane (installing what is missing on Debian 12) and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The whisper.cpp build (KORVANE_GPU, KORVANE_BLAS; see tools/build-whisper.sh), settled before the
# set-up so that the set-up builds the one the configuration names.
variant="$("$root/tools/build-whisper.sh" --variant)"
case "$variant" in vulkan*) export KORVANE_GPU=vulkan ;; *) export KORVANE_GPU=none ;; esac
case "$variant" in *openblas) export KORVANE_BLAS=openblas ;; *) export KORVANE_BLAS=none ;; esac
"$root/tools/setup-deps.sh"
# The same configuration as the test command's first stage, so the two share one build.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DKORVANE_WHISPER_VARIANT="$variant" >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target korvane
exec "$root/build/app/korvane" "$@"
