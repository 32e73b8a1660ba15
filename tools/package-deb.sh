#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Korvane's Debian package with CPack:
#   tools/package-deb.sh [BUILD_DIR [OUTPUT_DIR]]
# A configured BUILD_DIR is reused (the test command's `build`); a new one is configured as a
# Release build without tests and benchmarks. Only the installed programs and the icons are built.
# The .deb lands in OUTPUT_DIR (default BUILD_DIR/packages); its path is the last line printed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-package}")"
out="$(realpath -m "${2:-$build/packages}")"

if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "package: configuring $build (Release)" >&2
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_WARNINGS_AS_ERRORS=ON \
    -DKORVANE_WITH_TESTS=OFF -DKORVANE_WITH_BENCHMARKS=OFF >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log" >&2; exit 1; }
fi
if ! grep -q '^KORVANE_WITH_APP:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "package: $build is configured without the application (KORVANE_WITH_APP=OFF)" >&2
  exit 1
fi

echo "package: building the programs and icons in $build" >&2
cmake --build "$build" --target korvane korvane-transcribe korvane_icons korvane_package_docs -j "$(nproc)" >&2

rm -rf "$out"
mkdir -p "$out"
if ! (cd "$build" && cpack -G DEB -B "$out" --config CPackConfig.cmake) >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  exit 1
fi
debs=("$out"/korvane_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "package: expected one korvane_*.deb in $out" >&2
  cat "$out/cpack.log" >&2
  exit 1
fi
# CPack has no way to add a field of our own to the control file: open the package again and put
# the licence (the same as in /usr/share/doc/korvane/copyright) before the description. CPack also
# adds maintainer scripts that run ldconfig because the package has libraries under /usr/lib; ours
# live in a private folder the dynamic linker never searches, so there is nothing to refresh.
repack="$(mktemp -d "${TMPDIR:-/tmp}/korvane-repack.XXXXXX")"
trap 'rm -rf "$repack"' EXIT
dpkg-deb -R "${debs[0]}" "$repack/root"
sed -i '/^Description:/i License: MIT' "$repack/root/DEBIAN/control"
for script in postinst postrm; do
  file="$repack/root/DEBIAN/$script"
  if [ -f "$file" ] && ! grep -v -E '^(#!/bin/sh|set -e|if \[ "\$1" = "[a-z]+" \]; then|[[:space:]]*ldconfig|fi|[[:space:]]*)$' "$file" | grep -q .; then
    rm "$file"
  fi
done
dpkg-deb --root-owner-group -Zxz -b "$repack/root" "${debs[0]}" >/dev/null
echo "${debs[0]}"
