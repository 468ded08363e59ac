# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads); wine runs the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PELLIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PELLIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELLIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PELLIX_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw sysroot only, never from the host's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${PELLIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime (libgcc, libstdc++, winpthreads): the programs run under wine, or are
# copied to a Windows machine, without any of the compiler's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under wine64 through CTest, in a wine prefix inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)

# stb_image is header-only and the same for every target. Point at Debian's folder that
# holds only the stb headers, so the host's /usr/include never reaches the cross build.
if(EXISTS /usr/include/stb/stb_image.h)
  set(STB_INCLUDE_DIR /usr/include/stb CACHE PATH "Folder holding stb_image.h")
endif()

# GoogleTest has no mingw package; tests/ builds it from Debian's sources instead.
set(PELLIX_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
