#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes a whisper.cpp installation available to the build.
#
# A system installation (pkg-config "whisper") wins. Otherwise the pinned whisper.cpp 1.9.1, carried
# by the npm package nodejs-whisper@0.3.1, is fetched, checked against its published integrity
# string, built once (library plus the whisper-cli example used for comparisons) and installed into
# a prefix outside the repository that later runs and fresh clones reuse.
#
# Prints nothing but progress; the prefix is ${KORVANE_DEPS_DIR:-$HOME/.cache/korvane}/whisper-1.9.1.
set -euo pipefail

if pkg-config --exists whisper 2>/dev/null; then
  echo "whisper.cpp: using the system installation ($(pkg-config --modversion whisper))"
  exit 0
fi

readonly package="nodejs-whisper@0.3.1"
readonly integrity="sha512-ceoilUVraRuR5FnNyXpGQT2auAR48Oc3AQBEmkXnVpSn9iN6yVRzQBFCqVTGWbk6Wdi95NhvwXNzFvuR7erLWw=="
deps="${KORVANE_DEPS_DIR:-$HOME/.cache/korvane}"
prefix="$deps/whisper-1.9.1"
stamp="$prefix/.korvane-stamp"

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$integrity" ]; then
  echo "whisper.cpp: reusing $prefix"
  exit 0
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/korvane-whisper.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "whisper.cpp: fetching $package"
tarball="$(npm pack --silent "$package" | tail -n 1)"
actual="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
if [ "$actual" != "$integrity" ]; then
  echo "whisper.cpp: integrity check failed for $tarball" >&2
  echo "  expected $integrity" >&2
  echo "  actual   $actual" >&2
  exit 1
fi
tar xzf "$tarball"
src="$work/package/cpp/whisper.cpp"

jobs="$(nproc)"
common=(
  -G Ninja -S "$src" -B "$work/build"
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix"
  -DCMAKE_INSTALL_RPATH="$prefix/lib"
  -DBUILD_SHARED_LIBS=ON
  -DWHISPER_BUILD_TESTS=OFF
  -DWHISPER_BUILD_SERVER=OFF
  -DWHISPER_CURL=OFF
  -DWHISPER_SDL2=OFF
  # ggml's own thread pool instead of OpenMP: ThreadSanitizer understands plain pthreads.
  -DGGML_OPENMP=OFF
)

echo "whisper.cpp: building (library and whisper-cli) with $jobs jobs"
cmake "${common[@]}" -DWHISPER_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$work/build" --target whisper whisper-cli -j "$jobs" >/dev/null
cp "$work/build/bin/whisper-cli" "$work/whisper-cli"

# Install the library alone: the other examples were never built.
cmake "${common[@]}" -DWHISPER_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$work/build" -j "$jobs" >/dev/null
rm -rf "$prefix"
cmake --install "$work/build" >/dev/null
install -D -m 755 "$work/whisper-cli" "$prefix/bin/whisper-cli"
echo "$integrity" > "$stamp"
echo "whisper.cpp: installed into $prefix"
