# SPDX-License-Identifier: MIT
# Runs at install time. Copies the whisper.cpp libraries that the programs load from the pinned
# build's prefix into the private library folder, each under the name the programs ask for (its
# soname), and points their own RUNPATH, which names the build machine's prefix, at that folder.
# Set by the install rules: KORVANE_PROGRAMS (the built programs), KORVANE_WHISPER_LIBRARY (the
# pinned whisper library), KORVANE_PRIVATE_LIBDIR and KORVANE_STRIP (the strip program). A stripped
# install (cmake --install --strip, and the Debian package) strips these libraries as it strips
# the programs.
get_filename_component(whisper_dir "${KORVANE_WHISPER_LIBRARY}" DIRECTORY)
file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES ${KORVANE_PROGRAMS}
  RESOLVED_DEPENDENCIES_VAR resolved
  UNRESOLVED_DEPENDENCIES_VAR unresolved
  DIRECTORIES "${whisper_dir}")

set(destination "${CMAKE_INSTALL_PREFIX}/${KORVANE_PRIVATE_LIBDIR}")
set(bundled "")
foreach(library IN LISTS resolved)
  cmake_path(IS_PREFIX whisper_dir "${library}" NORMALIZE from_whisper)
  if(NOT from_whisper)
    continue()  # a system library: the package depends on it instead
  endif()
  get_filename_component(soname "${library}" NAME)
  file(REAL_PATH "${library}" contents)
  file(INSTALL DESTINATION "${destination}" TYPE FILE RENAME "${soname}" FILES "${contents}"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  # Stops the installation with the reason when the library carries no RUNPATH to replace.
  file(RPATH_SET FILE "$ENV{DESTDIR}${destination}/${soname}" NEW_RPATH "$ORIGIN")
  if(CMAKE_INSTALL_DO_STRIP AND KORVANE_STRIP)
    execute_process(COMMAND "${KORVANE_STRIP}" --strip-unneeded "$ENV{DESTDIR}${destination}/${soname}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  list(APPEND bundled "${soname}")
endforeach()
if(NOT bundled MATCHES "libwhisper")
  message(FATAL_ERROR "The programs do not load whisper.cpp from ${whisper_dir} (found: ${resolved}; unresolved: ${unresolved})")
endif()
