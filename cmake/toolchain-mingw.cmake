# Shared part of the MinGW-w64 toolchains; DESKFIND_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${DESKFIND_MINGW_ARCH})

set(CMAKE_C_COMPILER ${DESKFIND_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DESKFIND_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DESKFIND_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DESKFIND_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Lets clang-tidy (clang with --target) find the posix variant's libstdc++; GCC is indifferent.
set(DESKFIND_MINGW_CXX_INCLUDE /usr/lib/gcc/${DESKFIND_MINGW_TRIPLE}/12-posix/include/c++)
if(EXISTS ${DESKFIND_MINGW_CXX_INCLUDE})
  set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
      ${DESKFIND_MINGW_CXX_INCLUDE} ${DESKFIND_MINGW_CXX_INCLUDE}/${DESKFIND_MINGW_TRIPLE}
      ${DESKFIND_MINGW_CXX_INCLUDE}/backward)
endif()

# Windows programs run here through Wine, in a prefix and display of the build's own: 32-bit
# ones under the 32-bit Wine of a root of their own, which keeps the host's Wine 64-bit only.
if(DESKFIND_MINGW_ARCH STREQUAL "x86")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run --win32)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
