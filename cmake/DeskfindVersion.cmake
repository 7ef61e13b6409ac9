# Writes deskfind_version.h, which the compared version (update/flow/version_value.h), the version
# resource and the about box read, from the project's version.
# The tests build the program a second time as a later version (tests/CMakeLists.txt), given as
# DESKFIND_TEST_VERSION in the same form.
if(DESKFIND_TEST_VERSION)
  string(REPLACE "." ";" test_version "${DESKFIND_TEST_VERSION}")
  list(GET test_version 0 PROJECT_VERSION_MAJOR)
  list(GET test_version 1 PROJECT_VERSION_MINOR)
endif()
if(NOT "${PROJECT_VERSION_PATCH}${PROJECT_VERSION_TWEAK}" STREQUAL "" OR
   PROJECT_VERSION_MINOR GREATER 9999)
  message(FATAL_ERROR "The project version is major.minor, the minor part the version's four "
                      "decimal places (0 to 9999): ${PROJECT_VERSION}")
endif()
# Plain decimal numbers for C (a leading zero would make them octal there).
math(EXPR DESKFIND_VERSION_MAJOR "${PROJECT_VERSION_MAJOR}")
math(EXPR DESKFIND_VERSION_MINOR "${PROJECT_VERSION_MINOR}")
# The decimal places as written in the version text: 500 -> "05", 0 -> "0".
math(EXPR padded "10000 + ${DESKFIND_VERSION_MINOR}")
string(SUBSTRING "${padded}" 1 4 decimals)
string(REGEX REPLACE "0+$" "" decimals "${decimals}")
if(decimals STREQUAL "")
  set(decimals 0)
endif()
set(DESKFIND_VERSION_POINT "${DESKFIND_VERSION_MAJOR}.${decimals}")

# The release's own time: the lowest `issued` of version data the program accepts. release.sh
# sets SOURCE_DATE_EPOCH to the commit's time; development builds accept any.
set(DESKFIND_RELEASE_TIME "$ENV{SOURCE_DATE_EPOCH}")
if(NOT DESKFIND_RELEASE_TIME MATCHES "^[0-9]+$")
  set(DESKFIND_RELEASE_TIME 0)
endif()

set(DESKFIND_GENERATED_INCLUDE ${PROJECT_BINARY_DIR}/generated)
file(CONFIGURE OUTPUT ${DESKFIND_GENERATED_INCLUDE}/deskfind_version.h CONTENT [[
// Made by CMake from the project's version; see CMakeLists.txt.
#pragma once
#define DESKFIND_VERSION_MAJOR @DESKFIND_VERSION_MAJOR@
#define DESKFIND_VERSION_MINOR @DESKFIND_VERSION_MINOR@
// The version text with a point, as the about box and the version resource show it.
#define DESKFIND_VERSION_POINT "@DESKFIND_VERSION_POINT@"
#define DESKFIND_RELEASE_TIME @DESKFIND_RELEASE_TIME@
]] @ONLY)
