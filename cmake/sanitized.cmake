# Builds the core again with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, with its native tests and its fuzzer, and runs
# both as part of this build's tests. Any report of a sanitizer ends the
# program with an error, so it fails the test.
include(ExternalProject)

set(METADROP_SANITIZED_DIR ${CMAKE_BINARY_DIR}/sanitized)
ExternalProject_Add(sanitized
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${METADROP_SANITIZED_DIR}
  CMAKE_ARGS
    -DCMAKE_C_COMPILER=clang
    -DCMAKE_CXX_COMPILER=clang++
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DMETADROP_SANITIZED=ON
    -DGOOGLETEST_SOURCE=${GOOGLETEST_SOURCE}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)

add_test(NAME sanitized_core_tests COMMAND ${METADROP_SANITIZED_DIR}/tests/native/core_tests)
set_tests_properties(sanitized_core_tests PROPERTIES TIMEOUT 120)

# A short run from the kept seeds; what it learns is kept in the build, so
# later runs start further on. `scripts/bench --fuzz` runs longer.
set(METADROP_FUZZ_WORK ${METADROP_SANITIZED_DIR}/fuzz)
file(MAKE_DIRECTORY ${METADROP_FUZZ_WORK}/corpus)
add_test(NAME sanitized_core_fuzz
  COMMAND ${METADROP_SANITIZED_DIR}/tests/fuzz/core_fuzz -max_total_time=20 -timeout=10
    -artifact_prefix=${METADROP_FUZZ_WORK}/ ${METADROP_FUZZ_WORK}/corpus
    ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus)
set_tests_properties(sanitized_core_fuzz PROPERTIES TIMEOUT 120)
