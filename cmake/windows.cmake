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

set(METADROP_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of the tests")
set(METADROP_TOOL_DIR ${CMAKE_BINARY_DIR}/exiftool CACHE PATH "The unpacked Windows exiftool")
set(WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/wine-run)
set(WINE_ENV
  METADROP_WINE_PREFIX=${METADROP_WINE_PREFIX}
  METADROP_WIN_DIR=${METADROP_WIN_DIR}
  METADROP_TOOL_DIR=${METADROP_TOOL_DIR}
  METADROP_DIST_DIR=${CMAKE_SOURCE_DIR}/dist
  METADROP_TEST_ROOT=${CMAKE_BINARY_DIR}/test-files)

# One virtual display and one Wine server for all tests that need them.
add_test(NAME wine_session_start COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/session start)
add_test(NAME wine_session_stop COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/session stop)
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120
  ENVIRONMENT "${WINE_ENV}")
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60
  ENVIRONMENT "${WINE_ENV}")

# add_wine_test(NAME <name> TIMEOUT <s> COMMAND <args...>): a test that runs
# under the shared Wine session, one at a time.
function(add_wine_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "COMMAND" ${ARGN})
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  set_tests_properties(${T_NAME} PROPERTIES
    FIXTURES_REQUIRED wine RESOURCE_LOCK wine TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "${WINE_ENV}")
endfunction()

include(${CMAKE_SOURCE_DIR}/tests/windows/wine_tests.cmake OPTIONAL)
include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e_tests.cmake OPTIONAL)
