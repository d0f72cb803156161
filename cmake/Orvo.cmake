# Helpers shared by every CMakeLists of the project.

# orvo_add_test(NAME SOURCES a.cpp b.cpp LIBS lib... [GUI] [LABELS l...])
# One GoogleTest program; its tests are registered with CTest one by one.
# GUI tests need an X display (run under Xvfb) and carry the label "gui".
function(orvo_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    ORVO_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    ORVO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  set(labels ${T_LABELS})
  if(T_GUI)
    list(APPEND labels gui)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${labels}" TIMEOUT 120)
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
