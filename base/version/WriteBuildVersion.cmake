# SPDX-License-Identifier: MIT
# Writes the generated version header. Runs at every build (not only at configure time) so that the
# commit named in About is the one actually built; configure_file leaves the file untouched when
# nothing changed, so an unchanged build recompiles nothing.
#
# Inputs: TEMPLATE, OUTPUT, VERSION, BUILD (may be empty), SOURCE_DIR.
set(KORVANE_VERSION_VALUE "${VERSION}")
set(KORVANE_BUILD_VALUE "${BUILD}")
if(KORVANE_BUILD_VALUE STREQUAL "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
    if(NOT failed AND NOT commit STREQUAL "")
      execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" diff --quiet HEAD --
                      RESULT_VARIABLE dirty ERROR_QUIET)
      set(KORVANE_BUILD_VALUE "${commit}")
      if(dirty EQUAL 1)
        string(APPEND KORVANE_BUILD_VALUE "-dirty")
      endif()
    endif()
  endif()
endif()
# Keep the values safe inside a C string literal.
string(REGEX REPLACE "[^A-Za-z0-9._+-]" "" KORVANE_VERSION_VALUE "${KORVANE_VERSION_VALUE}")
string(REGEX REPLACE "[^A-Za-z0-9._+-]" "" KORVANE_BUILD_VALUE "${KORVANE_BUILD_VALUE}")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
