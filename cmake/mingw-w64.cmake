# SPDX-License-Identifier: Apache-2.0
# Cross build for 64-bit Windows with mingw-w64 (the posix thread model, which the C++ standard
# library's threads need). Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingwPrefix x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${mingwPrefix}-gcc-posix ${mingwPrefix}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${mingwPrefix}-g++-posix ${mingwPrefix}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${mingwPrefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingwPrefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine when one is installed (ctest, test discovery).
find_program(wineProgram NAMES wine64 wine)
if(wineProgram)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${wineProgram})
endif()
