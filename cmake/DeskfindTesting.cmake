# GoogleTest from Debian's source package, built with each toolchain, and one way to add a test.
if(NOT BUILD_TESTING)
  return()
endif()

set(DESKFIND_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${DESKFIND_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# deskfind_add_test(NAME SOURCES files... LIBRARIES libs... [WINDOWS_GUI])
# A GoogleTest program whose cases CTest lists one by one. On Windows builds the cases run
# through the Wine emulator set by the toolchain file.
function(deskfind_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
  if(WIN32)
    # Test programs keep their console (no -mwindows) and use main(), not wWinMain.
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 120)
endfunction()
