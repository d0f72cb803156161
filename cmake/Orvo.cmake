# Helpers shared by every CMakeLists of the project.

# orvo_add_test(NAME SOURCES a.cpp b.cpp LIBS lib... [GUI] [LABELS l...])
# One GoogleTest program; its tests are registered with CTest one by one.
# GUI tests need an X display (run under Xvfb) and carry the label "gui".
function(orvo_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  # Tests name shared helpers from the top: "tests/support/...".
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    ORVO_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    ORVO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(WIN32)
    target_compile_options(${name} PRIVATE
      -include ${PROJECT_SOURCE_DIR}/tests/support/win32_compat.h)
  endif()
  set(labels ${T_LABELS})
  if(T_GUI)
    list(APPEND labels gui)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (Wine) every start is expensive: one CTest test per
    # program, which runs all of its cases.
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
    if(labels)
      set_tests_properties(${name} PROPERTIES LABELS "${labels}")
    endif()
    return()
  endif()
  # An empty label list would swallow the next property name.
  set(properties TIMEOUT 120)
  if(labels)
    list(APPEND properties LABELS "${labels}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES ${properties})
endfunction()

# ORVO_SKIP_DIRS (a list of folders relative to the top, e.g. platform/backends/x11)
# leaves folders out of a local build while they are being worked on.
# Adds every immediate subfolder of the current folder that has a CMakeLists.txt.
function(orvo_add_subdirectories)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${child})
    if(rel IN_LIST ORVO_SKIP_DIRS)
      continue()
    endif()
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
       AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# orvo_add_saver(NAME SYMBOL)
# The saver's library (every .cpp of its folder) and its program, which
# runs the shell on the X11 back end with the FLTK dialog view (on Windows:
# NAME.scr on the Win32 back end with the native dialog view).
function(orvo_add_saver name symbol)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(orvo_saver_${name} STATIC ${sources})
  add_library(orvo::saver_${name} ALIAS orvo_saver_${name})
  target_include_directories(orvo_saver_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(orvo_saver_${name} PUBLIC orvo::framework)

  if(WIN32)
    orvo_add_windows_saver(${name} ${symbol})
    return()
  endif()
  add_executable(${name} ${PROJECT_SOURCE_DIR}/shell/program_main.cpp)
  target_compile_definitions(${name} PRIVATE
    ORVO_SAVER_HEADER="savers/${name}/${name}_saver.h" ORVO_SAVER_MODULE=${symbol})
  target_link_libraries(${name} PRIVATE orvo_saver_${name} orvo::shell orvo::program_backends)
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/orvo)
endfunction()

# orvo_add_windows_saver(NAME SYMBOL)
# NAME.scr: a GUI program whose resources carry the saver's display name as
# string 1 (the name the system's screen-saver settings list) and as its
# file description, its icon as icon 102, and its manifest.
function(orvo_add_windows_saver name symbol)
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/${name}_saver.cpp)
  file(STRINGS ${source} line REGEX "\\.display_name = \"[^\"]+\"")
  string(REGEX MATCH "\\.display_name = \"([^\"]+)\"" found "${line}")
  if(NOT found)
    message(FATAL_ERROR "${source}: no .display_name = \"...\" for the resources")
  endif()
  set(ORVO_DISPLAY_NAME ${CMAKE_MATCH_1})
  set(ORVO_PROGRAM ${name})
  set(ORVO_VERSION_COMMAS ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0)
  # The saver's own picture, made by scripts/make-icons.
  set(ORVO_ICON_FILE ${PROJECT_SOURCE_DIR}/data/windows/icons/${name}.ico)
  if(NOT EXISTS ${ORVO_ICON_FILE})
    message(FATAL_ERROR "${ORVO_ICON_FILE} is missing (scripts/make-icons makes it)")
  endif()
  set(ORVO_MANIFEST_FILE ${PROJECT_SOURCE_DIR}/data/windows/saver.manifest)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/data/windows/saver.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${ORVO_ICON_FILE};${ORVO_MANIFEST_FILE}")

  add_executable(${name} WIN32 ${PROJECT_SOURCE_DIR}/shell/program_main_win32.cpp ${rc})
  set_target_properties(${name} PROPERTIES SUFFIX .scr)
  target_compile_definitions(${name} PRIVATE
    ORVO_SAVER_HEADER="savers/${name}/${name}_saver.h" ORVO_SAVER_MODULE=${symbol})
  target_link_libraries(${name} PRIVATE orvo_saver_${name} orvo::shell orvo::platform_win32)
endfunction()
