# SPDX-License-Identifier: MIT
# Every external library, found in one place. whisper.cpp comes from the system when installed,
# otherwise from the prefix that tools/build-whisper.sh fills.
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(ICU 72 REQUIRED COMPONENTS uc i18n)
find_package(CURL REQUIRED)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)

set(KORVANE_DEPS_DIR "$ENV{HOME}/.cache/korvane" CACHE PATH "Where tools/build-whisper.sh installs whisper.cpp")
if(DEFINED ENV{KORVANE_DEPS_DIR})
  set(KORVANE_DEPS_DIR "$ENV{KORVANE_DEPS_DIR}" CACHE PATH "" FORCE)
endif()
list(APPEND CMAKE_PREFIX_PATH "${KORVANE_DEPS_DIR}/whisper-1.9.1")
find_package(whisper REQUIRED CONFIG)
find_program(KORVANE_WHISPER_CLI whisper-cli HINTS "${KORVANE_DEPS_DIR}/whisper-1.9.1/bin")

pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
pkg_check_modules(SOXR REQUIRED IMPORTED_TARGET soxr)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11 xi xtst xkbcommon xkbcommon-x11)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)
pkg_check_modules(ATSPI REQUIRED IMPORTED_TARGET atspi-2 gio-2.0)

if(KORVANE_WITH_APP)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets DBus Network)
endif()
if(KORVANE_WITH_TESTS)
  find_package(GTest REQUIRED)
endif()
if(KORVANE_WITH_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
