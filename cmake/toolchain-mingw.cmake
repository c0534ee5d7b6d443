# Cross-compiles for Windows with MinGW-w64 (posix threads: GoogleTest needs
# std::mutex). VISTORO_ARCH picks the target: i686, the program's own, or
# x86_64, which the tests run on machines that run no 32-bit code
# (scripts/common.sh).
set(VISTORO_ARCH i686 CACHE STRING "Target processor: i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VISTORO_ARCH})

set(CMAKE_C_COMPILER   ${VISTORO_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${VISTORO_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  ${VISTORO_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VISTORO_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs the test programs through Wine.
set(WINE_EXECUTABLE ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
if(EXISTS ${WINE_EXECUTABLE})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
endif()
