#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when an include points up the layers. Each folder may include itself and the layers below
# it, never a layer above nor a sibling on its own layer (siblings that include each other are how
# cycles start):
#   5  app
#   4  platform  ui
#   3  core                      the application's logic, tying the modules together
#   2  transcription  delivery   modules that use other modules
#   1  text  hotkeys  audio      modules that stand on the foundation alone
#   0  base                      the foundation
# tests/, bench/ and tools/ stand above everything; no product file includes them.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

declare -A layer=(
  [base]=0
  [text]=1 [hotkeys]=1 [audio]=1
  [transcription]=2 [delivery]=2
  [core]=3
  [platform]=4 [ui]=4
  [app]=5
  [tests]=9 [bench]=9 [tools]=9
)
# A file in tests/, bench/ or tools/ may include anything.

violations=()
while IFS= read -r hit; do
  file="${hit%%:*}"
  rest="${hit#*:}"
  number="${rest%%:*}"
  from="${file%%/*}"
  to="${rest#*\"}"
  to="${to%%/*}"
  [[ -n "${layer[$from]:-}" && -n "${layer[$to]:-}" && "$to" != "$from" && "${layer[$from]}" -lt 9 ]] || continue
  if ((layer[$to] >= layer[$from])); then
    violations+=("$file:$number: $from (layer ${layer[$from]}) includes $to (layer ${layer[$to]})")
  fi
done < <(git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' |
  xargs -0 grep -H -n -E '^\s*#\s*include\s*"[a-z]+/' || true)

if ((${#violations[@]})); then
  echo "includes that point up the layers (move the shared part down, or the including code up):" >&2
  printf '  %s\n' "${violations[@]}" >&2
  exit 1
fi
echo "layer check: every include points down (base, modules, core, platform and ui, app)"
