# SPDX-License-Identifier: MIT
# Qt's widget headers take three to four seconds of every file that includes them, more than most
# of our files take for themselves. korvane_share_qt_headers() parses them once per build into a
# precompiled header and gives it to every target that uses Qt: korvane_qt_headers to the
# application's code, korvane_qt_test_headers (GoogleTest's headers too) to the targets compiled
# with the test flags.
#
# GCC refuses a precompiled header made with a macro that the file using it does not define, so the
# donors define only what every Qt user defines (QT_CORE_LIB and, in optimized builds,
# QT_NO_DEBUG); the other modules' headers need only their include paths. QtTest stays out: its
# header reads per-folder macros. CMake passes -Winvalid-pch, so with -Werror a refused header is an
# error rather than a silently slower build.

set(KORVANE_QT_HEADERS
  <QAction> <QApplication> <QCheckBox> <QClipboard> <QCoreApplication> <QGuiApplication>
  <QHBoxLayout> <QIcon> <QImage> <QKeyEvent> <QLabel> <QLineEdit> <QMainWindow> <QMenu>
  <QMessageBox> <QObject> <QPainter> <QPixmap> <QPushButton> <QScreen> <QString> <QTimer> <QUrl>
  <QVBoxLayout> <QWidget> <QWindow>)

function(korvane_qt_header_donor name source)
  add_library(${name} OBJECT "${source}")
  target_link_libraries(${name} PRIVATE korvane_build_flags Qt6::Core ${ARGN})
  target_include_directories(${name} SYSTEM PRIVATE
                             $<TARGET_PROPERTY:Qt6::Widgets,INTERFACE_INCLUDE_DIRECTORIES>)
endfunction()

# Every target defined in <dir> and the folders below it.
function(korvane_targets_below dir out)
  get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    korvane_targets_below("${subdir}" below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Sets <out> to TRUE when <target> compiles with the usage requirements of <wanted>: it links
# <wanted>, or a library that passes <wanted> on to its users. What a library links privately
# ($<LINK_ONLY:...> to its users) reaches their linker, not their compiler.
function(korvane_compiles_with target wanted out)
  get_target_property(type ${target} TYPE)
  set(pending "")
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(pending ${target} LINK_LIBRARIES)
  endif()
  set(seen "")
  while(pending)
    list(POP_FRONT pending current)
    if(current STREQUAL wanted)
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
    if(NOT TARGET ${current} OR current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(passed ${current} INTERFACE_LINK_LIBRARIES)
    foreach(link IN LISTS passed)
      if(link AND NOT link MATCHES "^\\$<LINK_ONLY:")
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  set(${out} FALSE PARENT_SCOPE)
endfunction()

function(korvane_share_qt_headers)
  if(NOT TARGET Qt6::Core)
    return()
  endif()
  korvane_targets_below("${PROJECT_SOURCE_DIR}" targets)
  korvane_qt_header_donor(korvane_qt_headers "${PROJECT_SOURCE_DIR}/cmake/PrecompiledQtHeaders.cpp")
  target_precompile_headers(korvane_qt_headers PRIVATE ${KORVANE_QT_HEADERS})
  if(TARGET korvane_test_headers)
    korvane_qt_header_donor(korvane_qt_test_headers "${PROJECT_SOURCE_DIR}/cmake/PrecompiledQtHeaders.cpp"
                            korvane_test_flags GTest::gmock GTest::gtest)
    get_target_property(test_headers korvane_test_headers PRECOMPILE_HEADERS)
    target_precompile_headers(korvane_qt_test_headers PRIVATE ${test_headers} ${KORVANE_QT_HEADERS})
  endif()
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$"
       OR target MATCHES "^korvane_(qt_)?(test_)?headers$")
      continue()
    endif()
    korvane_compiles_with(${target} Qt6::Core uses_qt)
    if(NOT uses_qt)
      continue()
    endif()
    korvane_compiles_with(${target} korvane_test_flags test_flags)
    if(test_flags)
      set(donor korvane_qt_test_headers)
    else()
      set(donor korvane_qt_headers)
    endif()
    if(TARGET ${donor})
      set_property(TARGET ${target} PROPERTY PRECOMPILE_HEADERS_REUSE_FROM ${donor})
    endif()
  endforeach()
endfunction()
