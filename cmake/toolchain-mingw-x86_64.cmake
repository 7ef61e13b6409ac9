set(DESKFIND_MINGW_TRIPLE x86_64-w64-mingw32)
set(DESKFIND_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
