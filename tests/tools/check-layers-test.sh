#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# tools/check-layers.sh against small trees, one include each: it passes includes that point down and
# fails those that point up, sideways within a layer, or from the product into tests/.
set -euo pipefail
script="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/tools/check-layers.sh"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

failures=0
check() {  # check <file> <included path> <pass|fail>
  local file="$1" included="$2" expected="$3" tree="$scratch/tree" outcome=pass
  rm -rf "$tree" && mkdir -p "$tree/tools" "$tree/$(dirname "$file")"
  cp "$script" "$tree/tools/"
  printf '#include "%s"\n#include <vector>\n' "$included" >"$tree/$file"
  git -C "$tree" init -q && git -C "$tree" add -A
  "$tree/tools/check-layers.sh" >/dev/null 2>&1 || outcome=fail
  if [ "$outcome" != "$expected" ]; then
    echo "FAILED: $file including $included should $expected, did $outcome"
    failures=$((failures + 1))
  fi
}

check core/dictation/A.cpp base/logging/Logger.h pass
check transcription/whisper/A.cpp audio/capture/AudioRecording.h pass
check app/main.cpp platform/linux/LinuxPlatform.h pass
check tests/core/A.cpp tools/modelgen/ModelWriter.h pass
check bench/A.cpp tests/support/TempHome.h pass
check text/A.h core/settings/AppSettings.h fail
check base/files/A.cpp hotkeys/HotkeyBinding.h fail
check delivery/A.cpp transcription/SpeechTranscribing.h fail
check platform/linux/A.cpp ui/settings/SettingsWindow.h fail
check core/A.cpp app/StatusMenu.h fail
check app/main.cpp tests/support/TempHome.h fail

((failures == 0)) && echo "layer check: every case as expected"
exit $((failures > 0))
