#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when decision logic includes a platform header. Qt, X11, xcb, xkbcommon, PulseAudio, AT-SPI,
# GLib and D-Bus all live in /usr/include, so a stray include would compile silently and tie the
# logic (and its unit tests) to a desktop session. Adapters belong in platform/linux/, app/ or ui/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

logic=(base core text hotkeys audio delivery ui/logic)
platform='^\s*#\s*include\s*[<"](Q[A-Za-z]*|Qt[A-Za-z]*/|X11/|xcb/|xkbcommon/|pulse/|atspi/|at-spi|glib|gio/|gobject/|dbus/)'

existing=()
for folder in "${logic[@]}"; do
  [ -d "$folder" ] && existing+=("$folder")
done
if hits="$(git ls-files --cached --others --exclude-standard -- "${existing[@]}" | grep -E '\.(cpp|h)$' | xargs -r grep -s -n -E "$platform")"; then
  echo "decision logic includes platform headers (move the code into an adapter):" >&2
  printf '%s\n' "$hits" >&2
  exit 1
fi
echo "purity check: ${existing[*]} include no platform headers"
