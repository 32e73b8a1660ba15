#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The soak: 500 dictations in a row through the real application on a private desktop, into Qt
# and GTK fields and a terminal, in toggle and hold mode, with the user's clipboard of several kinds
# before each. Every dictation is checked (exactly the transcript landed, the clipboard came back
# whole); Korvane's memory, descriptors, threads and X resources are printed at the start, every
# 100 dictations and at the end. Takes about 35 minutes. Not part of the test command.
# Arguments go to the soak (--dictations N, --report-every N, --mode-block N). KORVANE_APP_UNDER_TEST
# names another korvane executable to soak (an installed one, or a copy a rebuild leaves alone).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/setup-deps.sh" >/dev/null
# The test command's first stage configures the same folder, so the two share one build.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target korvane_soak
exec "$root/build/bench/app/korvane_soak" "$@"
