# The Windows test programs under Wine, one CTest test per group. A group
# whose filter matches no test fails rather than passing with none run.
set(DRIVER_TESTS ${METADROP_WIN_DIR}/tests/windows/driver/driver_tests.exe)
foreach(group ChooseBoxFace CommandLine RealTool ResultBox SafeWrite StandInReports ToolFailures ToolProtocol ToolStart)
  add_wine_test(NAME driver_${group} TIMEOUT 120 FAIL_IF "Running 0 tests"
    COMMAND ${WINE_RUN} ${DRIVER_TESTS} --gtest_filter=${group}.*)
endforeach()
add_wine_test(NAME driver_LongProgramPath TIMEOUT 60 FAIL_IF "Running 0 tests"
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/driver/long_program_path)
