#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The package test: builds the .deb (tools/package-deb.sh), checks its control fields and file
# list, unpacks it into a throwaway root and checks from there the desktop entry, the AppStream
# metadata, the icons, the private whisper.cpp libraries, --version, --help and a start of the
# installed application (offscreen) up to its banner. Prints the package's sizes.
#   tools/test-package.sh [BUILD_DIR]
# BUILD_DIR defaults to the test command's `build` when it is configured, else `build-package`.
# With KORVANE_TEST_APT_INSTALL=1 (as root, on a machine you may change) the package is also
# installed with apt, started from /usr/bin and removed again.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ $# -ge 1 ]; then
  build="$1"
elif [ -f "$root/build/CMakeCache.txt" ]; then
  build="$root/build"
else
  build="$root/build-package"
fi

fail() {
  echo "package test: FAIL: $*" >&2
  exit 1
}
pass() { echo "package test: ok: $*"; }

deb="$("$root/tools/package-deb.sh" "$build" | tail -n 1)"
work="$(mktemp -d "${TMPDIR:-/tmp}/korvane-package-test.XXXXXX")"
app_pid=""
cleanup() {
  if [ -n "$app_pid" ]; then kill -KILL "$app_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# --- control fields
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = korvane ] || fail "package name is '$(field Package)'"
version="$(field Version)"
depends="$(field Depends)"
for library in libc6 libstdc++6 libqt6widgets6 libqt6network6 libpulse0 libcurl4 libicu72 libx11-6 libatspi2.0-0; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library (computed by dpkg-shlibdeps): $depends"
done
[ "$(field License)" = MIT ] || fail "License field is '$(field License)'"
pass "control fields: korvane $version, License: MIT, Depends: $depends"

# --- file list: everything under /usr, nothing a user does not run or see
mapfile -t files < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|')
expected=(
  /usr/bin/korvane
  /usr/bin/korvane-transcribe
  /usr/lib/udev/rules.d/60-korvane-uinput.rules
  /usr/share/applications/korvane.desktop
  /usr/share/metainfo/app.korvane.Korvane.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/korvane.svg
  /usr/share/doc/korvane/copyright
  /usr/share/doc/korvane/changelog.Debian.gz
)
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/korvane.png")
done
for state in idle recording busy copied attention; do
  expected+=("/usr/share/icons/hicolor/scalable/status/korvane-$state.svg")
  for size in 16 22 24 32 48; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/status/korvane-$state.png")
  done
done
for path in "${expected[@]}"; do
  printf '%s\n' "${files[@]}" | grep -qxF "$path" || fail "the package lacks $path"
done
bundled=()
for path in "${files[@]}"; do
  if printf '%s\n' "${expected[@]}" | grep -qxF "$path"; then
    continue
  elif [[ "$path" =~ ^/usr/lib/korvane/lib[a-z0-9-]+\.so\.[0-9]+$ ]]; then
    bundled+=("$path")
  else
    fail "unexpected file in the package: $path"
  fi
done
if ((${#bundled[@]})); then
  printf '%s\n' "${bundled[@]}" | grep -q '/libwhisper\.so\.' || fail "private libraries without libwhisper: ${bundled[*]}"
  [[ "$depends" != *whisper* ]] || fail "Depends names whisper although it is bundled: $depends"
  pass "file list (${#files[@]} files, private whisper.cpp: ${bundled[*]##*/})"
else
  pass "file list (${#files[@]} files, whisper.cpp from the system)"
fi

# --- unpacked into a throwaway root
install_root="$work/root"
dpkg -x "$deb" "$install_root"
desktop-file-validate "$install_root/usr/share/applications/korvane.desktop" || fail "desktop-file-validate"
grep -qx 'Categories=Utility;Accessibility;' "$install_root/usr/share/applications/korvane.desktop" ||
  fail "desktop entry categories"
grep -qx 'StartupNotify=false' "$install_root/usr/share/applications/korvane.desktop" || fail "StartupNotify"
pass "desktop-file-validate"
appstreamcli validate --pedantic --no-net "$install_root/usr/share/metainfo/app.korvane.Korvane.metainfo.xml" >"$work/appstream.txt" 2>&1 ||
  { cat "$work/appstream.txt"; fail "appstreamcli validate"; }
grep -q "<release version=\"${version%-*}\"" "$install_root/usr/share/metainfo/app.korvane.Korvane.metainfo.xml" ||
  fail "the AppStream metadata does not name release ${version%-*}"
grep -q '<project_license>MIT</project_license>' "$install_root/usr/share/metainfo/app.korvane.Korvane.metainfo.xml" ||
  fail "the AppStream metadata names no project licence"
pass "appstreamcli validate --pedantic --no-net"

# Debian's own package checker: errors fail the test, warnings are printed.
lintian_status=0
lintian --no-tag-display-limit --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || lintian_status=$?
cat "$work/lintian.txt"
[ $lintian_status -eq 0 ] && ! grep -q '^E: ' "$work/lintian.txt" || fail "lintian reports errors (status $lintian_status)"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$install_root/usr/share/doc/korvane/copyright" || fail "the copyright file is not in the machine-readable format"
zcat "$install_root/usr/share/doc/korvane/changelog.Debian.gz" | head -n 1 | grep -qF "korvane ($version)" ||
  fail "the changelog does not start with this version"
pass "lintian without errors, copyright and changelog"

# Each PNG has the size of its folder; each SVG is a well-formed SVG document.
python3 - "$install_root/usr/share/icons/hicolor" <<'PY' || fail "icons"
import pathlib, struct, sys, xml.etree.ElementTree as ET
theme = pathlib.Path(sys.argv[1])
for png in theme.glob("*/*/*.png"):
    data = png.read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{png} is not a PNG")
    width, height = struct.unpack(">II", data[16:24])
    side = int(png.parent.parent.name.split("x")[0])
    if (width, height) != (side, side):
        sys.exit(f"{png} is {width}x{height}")
    if len(set(data[33:])) < 8:
        sys.exit(f"{png} looks empty")
for svg in theme.glob("scalable/*/*.svg"):
    element = ET.parse(svg).getroot()
    if element.tag != "{http://www.w3.org/2000/svg}svg" or "viewBox" not in element.attrib or len(element) == 0:
        sys.exit(f"{svg} is not an SVG drawing")
PY
pass "icons"

program="$install_root/usr/bin/korvane"
if ((${#bundled[@]})); then
  runpath="$(readelf -d "$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p; s/.*(RPATH).*\[\(.*\)\]/\1/p')"
  [ "$runpath" = '$ORIGIN/../lib/korvane' ] || fail "korvane's RUNPATH is '$runpath'"
  for library in "${bundled[@]}"; do
    own="$(readelf -d "$install_root$library" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p; s/.*(RPATH).*\[\(.*\)\]/\1/p')"
    [ "$own" = '$ORIGIN' ] || fail "$library's RUNPATH is '$own'"
  done
fi
for binary in "$program" "$install_root/usr/bin/korvane-transcribe"; do
  resolved="$(env -u LD_LIBRARY_PATH ldd "$binary" | sed 's|/usr/bin/\.\./lib/|/usr/lib/|')"
  ! grep -q 'not found' <<<"$resolved" || fail "$binary: $(grep 'not found' <<<"$resolved")"
  if ((${#bundled[@]})); then
    grep -qF "libwhisper.so.1 => $install_root/usr/lib/korvane/" <<<"$resolved" ||
      fail "$binary does not load the packaged whisper.cpp: $(grep whisper <<<"$resolved")"
    outside="$(grep -E 'lib(whisper|ggml)' <<<"$resolved" | grep -vF "=> $install_root/usr/lib/korvane/" || true)"
    [ -z "$outside" ] || fail "$binary loads whisper.cpp libraries from outside the package: $outside"
  fi
done
pass "libraries resolve inside the package"

[[ "$("$program" --version)" =~ ^Korvane\ ${version%-*}(\ \(.+\))?$ ]] || fail "--version says '$("$program" --version)'"
help="$("$program" --help)"
for text in "Usage: korvane" --toggle --start --stop --copy-last KORVANE_MODEL_CATALOGUE; do
  [[ "$help" == *"$text"* ]] || fail "--help does not mention $text"
done
"$program" --version --verbose | grep -qF "whisper.cpp — speech recognition — MIT" ||
  fail "--version --verbose does not credit whisper.cpp: $("$program" --version --verbose)"
"$install_root/usr/bin/korvane-transcribe" --help >/dev/null 2>&1 || fail "korvane-transcribe --help"
pass "--version (--verbose), --help"

# Starts a korvane offscreen in a private home and waits for its banner; ends it with SIGTERM.
start_and_check() {  # start_and_check PROGRAM LABEL
  local program="$1" label="$2" home
  home="$(mktemp -d "$work/home.XXXXXX")"
  mkdir -p "$home/.config/korvane" "$home/runtime"
  chmod 700 "$home/runtime"
  printf '{"version": 1, "models": [{"name": "absent", "file": "ggml-absent.bin", "bytes": 1000, "sha256": "%s", "url": "http://127.0.0.1:9/ggml-absent.bin"}]}' \
    "$(printf 'a%.0s' {1..64})" >"$home/models.json"
  printf '{"debugLogging": true, "modelCatalogue": "%s"}' "$home/models.json" >"$home/.config/korvane/settings.json"
  env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen PULSE_SERVER=unix:/nonexistent \
    "$program" >"$home/output.txt" 2>&1 &
  app_pid=$!
  local waited=0
  until grep -q "App started -- main run loop active" "$home/.config/korvane/debug.log" 2>/dev/null; do
    sleep 0.2
    waited=$((waited + 1))
    if [ $waited -gt 150 ] || ! kill -0 "$app_pid" 2>/dev/null; then
      cat "$home/output.txt"
      fail "$label did not start"
    fi
  done
  grep -q "Korvane (C++) starting" "$home/.config/korvane/debug.log" || fail "$label wrote no banner"
  kill -TERM "$app_pid"
  local status=0
  wait "$app_pid" || status=$?
  app_pid=""
  [ $status -eq 0 ] || fail "$label exited with status $status on SIGTERM"
  pass "$label starts offscreen, logs its banner and ends on SIGTERM"
}
start_and_check "$program" "the unpacked korvane"

if [ "${KORVANE_TEST_APT_INSTALL:-0}" = 1 ]; then
  [ "$(id -u)" -eq 0 ] || fail "KORVANE_TEST_APT_INSTALL needs root"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.txt" 2>&1 ||
    { cat "$work/apt.txt"; fail "apt install"; }
  [[ "$(/usr/bin/korvane --version)" =~ ^Korvane\ ${version%-*} ]] || fail "installed --version"
  start_and_check /usr/bin/korvane "the installed korvane"
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq korvane >"$work/apt.txt" 2>&1 ||
    { cat "$work/apt.txt"; fail "apt purge"; }
  for path in "${files[@]}"; do
    [ ! -e "$path" ] || fail "$path is left after removal"
  done
  pass "apt install, start and removal"
fi

deb_bytes="$(stat -c %s "$deb")"
installed_kib="$(field Installed-Size)"
echo "package figures: $(basename "$deb"): $((deb_bytes / 1024)) KiB package, $installed_kib KiB installed"
echo "package test: all checks passed"
