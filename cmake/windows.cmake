# Cross-builds the Windows program and its Windows test programs with
# mingw-w64, and runs those under Wine as part of this build's tests.
include(ExternalProject)

set(METADROP_WIN_DIR ${CMAKE_BINARY_DIR}/win)
ExternalProject_Add(windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${METADROP_WIN_DIR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DGOOGLETEST_SOURCE=${GOOGLETEST_SOURCE}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)

set(METADROP_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine 8 prefix of the tests")
set(METADROP_WINE10_PREFIX ${CMAKE_BINARY_DIR}/wineprefix-10 CACHE PATH "Wine 10 prefix of the tests")
set(METADROP_WINE10_ROOT ${CMAKE_BINARY_DIR}/wine10-root CACHE PATH "The Debian 13 tree with Wine 10")
set(METADROP_WINE_VERSIONS 8 10 CACHE STRING "The Wine versions the tests run under")
set(METADROP_TOOL_DIR ${CMAKE_BINARY_DIR}/exiftool CACHE PATH "The unpacked Windows exiftool")
set(WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/wine-run)
set(WINE_ENV
  METADROP_WIN_DIR=${METADROP_WIN_DIR}
  METADROP_TOOL_DIR=${METADROP_TOOL_DIR}
  METADROP_DIST_DIR=${CMAKE_SOURCE_DIR}/dist
  METADROP_WINE10_ROOT=${METADROP_WINE10_ROOT})
# The system's Wine 8 keeps the tests' first names; Wine 10's start with
# wine10_. Each has its own prefix, test files and session.
set(WINE_ENV_8 ${WINE_ENV} METADROP_WINE=8 METADROP_WINE_PREFIX=${METADROP_WINE_PREFIX}
  METADROP_TEST_ROOT=${CMAKE_BINARY_DIR}/test-files)
set(WINE_ENV_10 ${WINE_ENV} METADROP_WINE=10 METADROP_WINE_PREFIX=${METADROP_WINE10_PREFIX}
  METADROP_TEST_ROOT=${CMAKE_BINARY_DIR}/test-files-10)
set(WINE_NAME_8 "")
set(WINE_NAME_10 wine10_)

# For each Wine, one virtual display and one Wine server for all tests that
# need them.
foreach(v IN LISTS METADROP_WINE_VERSIONS)
  add_test(NAME wine${v}_session_start COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/session start)
  add_test(NAME wine${v}_session_stop COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/session stop)
  set_tests_properties(wine${v}_session_start PROPERTIES FIXTURES_SETUP wine${v} TIMEOUT 120
    LABELS wine${v} ENVIRONMENT "${WINE_ENV_${v}}")
  set_tests_properties(wine${v}_session_stop PROPERTIES FIXTURES_CLEANUP wine${v} TIMEOUT 60
    LABELS wine${v} ENVIRONMENT "${WINE_ENV_${v}}")
endforeach()

# add_wine_test(NAME <name> TIMEOUT <s> [FAIL_IF <regex>] COMMAND <args...>):
# a test that runs under each Wine's session, one at a time, labelled wine8
# or wine10; output that matches FAIL_IF fails it.
function(add_wine_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT;FAIL_IF" "COMMAND" ${ARGN})
  foreach(v IN LISTS METADROP_WINE_VERSIONS)
    set(name ${WINE_NAME_${v}}${T_NAME})
    add_test(NAME ${name} COMMAND ${T_COMMAND})
    set_tests_properties(${name} PROPERTIES
      FIXTURES_REQUIRED wine${v} RESOURCE_LOCK wine TIMEOUT ${T_TIMEOUT} LABELS wine${v}
      ENVIRONMENT "${WINE_ENV_${v}}")
    if(T_FAIL_IF)
      set_tests_properties(${name} PROPERTIES FAIL_REGULAR_EXPRESSION "${T_FAIL_IF}")
    endif()
  endforeach()
endfunction()

include(${CMAKE_SOURCE_DIR}/tests/windows/wine_tests.cmake OPTIONAL)
include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e_tests.cmake OPTIONAL)
