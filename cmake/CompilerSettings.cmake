# SPDX-License-Identifier: MIT
# Warnings, sanitizers and fuzzing flags, carried by the interface target korvane_build_flags that
# every Korvane target links. Third-party code is never built with these.
add_library(korvane_build_flags INTERFACE)
target_compile_options(korvane_build_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
if(KORVANE_WARNINGS_AS_ERRORS)
  target_compile_options(korvane_build_flags INTERFACE -Werror)
endif()

# LLVM's linker links the many test programs in a fraction of GNU ld's time (the sanitizer builds
# most of all); GNU ld stays in use where lld is not installed.
include(CheckLinkerFlag)
check_linker_flag(CXX "-fuse-ld=lld" KORVANE_LINKER_LLD)
if(KORVANE_LINKER_LLD)
  target_link_options(korvane_build_flags INTERFACE -fuse-ld=lld)
endif()

if(KORVANE_SANITIZE_ADDRESS AND KORVANE_SANITIZE_THREAD)
  message(FATAL_ERROR "AddressSanitizer and ThreadSanitizer cannot be combined")
endif()

set(KORVANE_SANITIZER_FLAGS "")
if(KORVANE_SANITIZE_ADDRESS)
  set(KORVANE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                              -fno-omit-frame-pointer)
elseif(KORVANE_SANITIZE_THREAD)
  set(KORVANE_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
endif()
if(KORVANE_SANITIZER_FLAGS)
  target_compile_options(korvane_build_flags INTERFACE ${KORVANE_SANITIZER_FLAGS})
  target_link_options(korvane_build_flags INTERFACE ${KORVANE_SANITIZER_FLAGS})
endif()

if(KORVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KORVANE_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  target_compile_options(korvane_build_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(korvane_build_flags INTERFACE -fsanitize=address,undefined)
endif()
