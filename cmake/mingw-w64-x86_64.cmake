# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix
# thread model, so std::thread and std::mutex work), tests run under Wine.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVO_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${ORVO_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ORVO_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ORVO_MINGW_TRIPLE}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${ORVO_MINGW_TRIPLE}-gcc-ar-posix ${ORVO_MINGW_TRIPLE}-ar)
find_program(CMAKE_RANLIB NAMES ${ORVO_MINGW_TRIPLE}-gcc-ranlib-posix ${ORVO_MINGW_TRIPLE}-ranlib)

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine (64-bit).
find_program(ORVO_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(ORVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVO_WINE})
endif()
