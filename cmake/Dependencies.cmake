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
# Which of tools/build-whisper.sh's builds to use; the set-up scripts pass the one they built
# (KORVANE_GPU, KORVANE_BLAS). Only the plain CPU build gives way to a system whisper.cpp.
set(KORVANE_WHISPER_VARIANT "cpu" CACHE STRING "whisper.cpp build from tools/build-whisper.sh: cpu, vulkan, openblas or vulkan-openblas")
set_property(CACHE KORVANE_WHISPER_VARIANT PROPERTY STRINGS cpu vulkan openblas vulkan-openblas)
if(NOT KORVANE_WHISPER_VARIANT MATCHES "^(cpu|vulkan|openblas|vulkan-openblas)$")
  message(FATAL_ERROR "KORVANE_WHISPER_VARIANT must be cpu, vulkan, openblas or vulkan-openblas, not '${KORVANE_WHISPER_VARIANT}'")
endif()
if(KORVANE_WHISPER_VARIANT STREQUAL "cpu")
  set(KORVANE_WHISPER_PREFIX "${KORVANE_DEPS_DIR}/whisper-1.9.1")
else()
  set(KORVANE_WHISPER_PREFIX "${KORVANE_DEPS_DIR}/whisper-1.9.1-${KORVANE_WHISPER_VARIANT}")
endif()
# What whisper.cpp's and ggml's package files found is cached: when the build folder changes
# variant (or deps folder), look again rather than keep the old prefix's libraries.
if(DEFINED CACHE{KORVANE_WHISPER_FOUND_IN} AND NOT KORVANE_WHISPER_FOUND_IN STREQUAL KORVANE_WHISPER_PREFIX)
  foreach(entry whisper_DIR ggml_DIR whisper_LIBRARY GGML_LIBRARY GGML_BASE_LIBRARY GGML_CPU_LIBRARY
                GGML_VULKAN_LIBRARY GGML_BLAS_LIBRARY KORVANE_WHISPER_CLI)
    unset(${entry} CACHE)
  endforeach()
endif()
set(KORVANE_WHISPER_FOUND_IN "${KORVANE_WHISPER_PREFIX}" CACHE INTERNAL "")
if(KORVANE_WHISPER_VARIANT STREQUAL "cpu")
  list(APPEND CMAKE_PREFIX_PATH "${KORVANE_WHISPER_PREFIX}")
else()
  if(NOT EXISTS "${KORVANE_WHISPER_PREFIX}/lib/cmake/whisper")
    message(FATAL_ERROR "No ${KORVANE_WHISPER_VARIANT} build of whisper.cpp in ${KORVANE_WHISPER_PREFIX}: "
                        "run tools/setup-deps.sh with KORVANE_GPU / KORVANE_BLAS set for it")
  endif()
  # First, so that whisper.cpp's own search for ggml finds this prefix's ggml too.
  list(PREPEND CMAKE_PREFIX_PATH "${KORVANE_WHISPER_PREFIX}")
endif()
find_package(whisper REQUIRED CONFIG)
find_program(KORVANE_WHISPER_CLI whisper-cli HINTS "${KORVANE_WHISPER_PREFIX}/bin")
message(STATUS "whisper.cpp: ${KORVANE_WHISPER_VARIANT} build, ${whisper_DIR}")

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
