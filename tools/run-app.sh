#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Korvane (installing what is missing on Debian 12) and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/setup-deps.sh"
# The same configuration as the test command's first stage, so the two share one build.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target korvane
exec "$root/build/app/korvane" "$@"
