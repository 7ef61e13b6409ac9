# GoogleTest from Debian's source package, built with each toolchain, and one way to add a test.
if(NOT BUILD_TESTING)
  return()
endif()

set(DESKFIND_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${DESKFIND_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# deskfind_add_test(NAME SOURCES files... LIBRARIES libs... [TIMEOUT seconds])
# A GoogleTest program whose cases CTest lists one by one. On Windows builds the cases run
# through the Wine emulator set by the toolchain file.
function(deskfind_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
  if(WIN32)
    # Test programs keep their console (no -mwindows) and use main(), not wWinMain.
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

# deskfind_add_e2e_test(NAME SOURCES files... PROGRAM target [LIBRARIES libs...])
# A GoogleTest program that drives the Windows program `target` through its windows with the
# driver library (tests/driver). The program's path and those of the driver's helpers reach the
# test as DESKFIND_PROGRAM_UNDER_TEST, DESKFIND_RECORD_OPEN, DESKFIND_MENU_PROBE and
# DESKFIND_SCREEN_DPI (unix paths: use ProgramUnderTest(), RecordOpenExe(), MenuProbeDll() and
# ScreenDpiExe()). The cases run one at a time: they share the Wine session's screen and its
# registry.
function(deskfind_add_e2e_test name)
  cmake_parse_arguments(ARG "" "PROGRAM" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT WIN32)
    message(FATAL_ERROR "deskfind_add_e2e_test(${name}): end-to-end tests need a Windows build")
  endif()
  if(NOT ARG_PROGRAM)
    message(FATAL_ERROR "deskfind_add_e2e_test(${name}): PROGRAM is required")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE driver ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
  target_link_options(${name} PRIVATE -mconsole)
  target_compile_definitions(${name} PRIVATE
    DESKFIND_PROGRAM_UNDER_TEST="$<TARGET_FILE:${ARG_PROGRAM}>"
    DESKFIND_RECORD_OPEN="$<TARGET_FILE:record_open>")
  add_dependencies(${name} ${ARG_PROGRAM} record_open)
  # Helpers the driver builds (tests/driver): the menu-reading hook DLL and the DPI probe.
  if(TARGET menu_probe)
    target_compile_definitions(${name} PRIVATE DESKFIND_MENU_PROBE="$<TARGET_FILE:menu_probe>")
    add_dependencies(${name} menu_probe)
  endif()
  if(TARGET screen_dpi)
    target_compile_definitions(${name} PRIVATE DESKFIND_SCREEN_DPI="$<TARGET_FILE:screen_dpi>")
    add_dependencies(${name} screen_dpi)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE LABELS e2e)
endfunction()
