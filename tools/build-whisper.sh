#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes a whisper.cpp installation available to the build.
#
# The pinned whisper.cpp 1.9.1, carried by the npm package nodejs-whisper@0.3.1, is fetched, checked
# against its published integrity string, built once (library plus the whisper-cli example used for
# comparisons) and installed into a prefix outside the repository that later runs and fresh clones
# reuse. For the plain CPU build a system installation (pkg-config "whisper") wins.
#
# Which build (the variant) comes from two choices:
#   KORVANE_GPU=vulkan|none    default: vulkan when a Vulkan device other than a software one
#                              (lavapipe/llvmpipe) is present, otherwise none
#   KORVANE_BLAS=openblas|none default: none (OpenBLAS measured no faster than ggml's own CPU code,
#                              see tools/compare-backends.sh)
# giving the variant cpu, vulkan, openblas or vulkan-openblas, each in its own prefix under
# ${KORVANE_DEPS_DIR:-$HOME/.cache/korvane}: whisper-1.9.1 (cpu), whisper-1.9.1-<variant> (others).
# The CMake option KORVANE_WHISPER_VARIANT names the variant a Korvane build uses.
#
#   tools/build-whisper.sh            builds the chosen variant unless already built; prints progress
#   tools/build-whisper.sh --variant  prints the chosen variant's name and builds nothing
#   tools/build-whisper.sh --prefix   prints the chosen variant's prefix and builds nothing
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

readonly package="nodejs-whisper@0.3.1"
readonly integrity="sha512-ceoilUVraRuR5FnNyXpGQT2auAR48Oc3AQBEmkXnVpSn9iN6yVRzQBFCqVTGWbk6Wdi95NhvwXNzFvuR7erLWw=="
deps="${KORVANE_DEPS_DIR:-$HOME/.cache/korvane}"

# True when this machine has a Vulkan device that is not a CPU implementation. Before the Vulkan
# tools are installed the kernel's render nodes tell: one of a GPU maker (AMD, Intel, NVIDIA) has a
# Vulkan driver in Debian or from its maker; virtual GPUs of virtual machines are left out.
has_hardware_vulkan() {
  if command -v vulkaninfo >/dev/null 2>&1 &&
    vulkaninfo --summary 2>/dev/null | grep -E '^\s*deviceType\s*=' | grep -qv PHYSICAL_DEVICE_TYPE_CPU; then
    return 0
  fi
  local vendor
  for vendor in /sys/class/drm/renderD*/device/vendor; do
    [ -r "$vendor" ] || continue
    case "$(cat "$vendor")" in
      0x1002 | 0x8086 | 0x10de) return 0 ;;
    esac
  done
  [ -e /dev/nvidia0 ]
}

gpu="${KORVANE_GPU:-}"
if [ -z "$gpu" ]; then
  gpu=none
  has_hardware_vulkan && gpu=vulkan
fi
blas="${KORVANE_BLAS:-none}"
case "$gpu" in vulkan | none) ;; *) echo "KORVANE_GPU must be vulkan or none, not '$gpu'" >&2; exit 2 ;; esac
case "$blas" in openblas | none) ;; *) echo "KORVANE_BLAS must be openblas or none, not '$blas'" >&2; exit 2 ;; esac

variant=cpu
if [ "$gpu" = vulkan ] && [ "$blas" = openblas ]; then
  variant=vulkan-openblas
elif [ "$gpu" = vulkan ]; then
  variant=vulkan
elif [ "$blas" = openblas ]; then
  variant=openblas
fi
prefix="$deps/whisper-1.9.1"
[ "$variant" = cpu ] || prefix="$prefix-$variant"

case "${1:-}" in
  --variant) echo "$variant"; exit 0 ;;
  --prefix) echo "$prefix"; exit 0 ;;
  "") ;;
  *) echo "usage: tools/build-whisper.sh [--variant | --prefix]" >&2; exit 2 ;;
esac

if [ "$variant" = cpu ] && pkg-config --exists whisper 2>/dev/null; then
  echo "whisper.cpp: using the system installation ($(pkg-config --modversion whisper))"
  exit 0
fi

# Our own changes to whisper.cpp, each a small patch with its reason at its top.
patches=()
case "$variant" in
  vulkan*) patches+=("$here/patches/whisper-1.9.1-vulkan-headers-1.3.239.patch") ;;
esac
# The stamp names what went into the prefix: a changed patch builds it afresh. The plain CPU
# build's stamp is the integrity string alone, as before there were variants, so its prefix stays
# valid for checkouts of either age.
stamp_text="$integrity"
[ "$variant" = cpu ] || stamp_text+=" $variant"
for p in "${patches[@]}"; do
  stamp_text+=" $(basename "$p"):$(sha256sum "$p" | cut -c1-16)"
done
stamp="$prefix/.korvane-stamp"

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_text" ]; then
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
for p in "${patches[@]}"; do
  echo "whisper.cpp: applying $(basename "$p")"
  patch -d "$src" -p1 --quiet --forward <"$p"
done

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
case "$variant" in
  vulkan*) common+=(-DGGML_VULKAN=ON) ;;
esac
case "$variant" in
  *openblas) common+=(-DGGML_BLAS=ON -DGGML_BLAS_VENDOR=OpenBLAS) ;;
esac

echo "whisper.cpp: building the $variant variant (library and whisper-cli) with $jobs jobs"
started=$SECONDS
# The output goes to a log that is shown when the build fails: the Vulkan shaders alone print
# thousands of lines.
log="$work/build.log"
run_logged() { "$@" >>"$log" 2>&1 || { tail -n 60 "$log" >&2; echo "whisper.cpp: failed: $*" >&2; return 1; }; }
run_logged cmake "${common[@]}" -DWHISPER_BUILD_EXAMPLES=ON
run_logged cmake --build "$work/build" --target whisper whisper-cli -j "$jobs"
cp "$work/build/bin/whisper-cli" "$work/whisper-cli"

# Install the library alone: the other examples were never built.
run_logged cmake "${common[@]}" -DWHISPER_BUILD_EXAMPLES=OFF
run_logged cmake --build "$work/build" -j "$jobs"
rm -rf "$prefix"
run_logged cmake --install "$work/build"
install -D -m 755 "$work/whisper-cli" "$prefix/bin/whisper-cli"
echo "$stamp_text" >"$stamp"
echo "whisper.cpp: installed the $variant variant into $prefix in $((SECONDS - started)) s"
