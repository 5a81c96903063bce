# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DFENWA_TESTS=OFF
# The converter starts no threads, so the compiler's win32 thread model (the
# Debian default) serves; either variant works.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FENWA_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Prefix of the MinGW-w64 tools")
set(CMAKE_C_COMPILER ${FENWA_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${FENWA_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${FENWA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FENWA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Runs cross-built programs (try_run, add_test) under Wine when it is installed.
find_program(FENWA_WINE NAMES wine wine64)
if(FENWA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FENWA_WINE})
endif()
