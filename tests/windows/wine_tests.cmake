# The Windows test programs under Wine, one CTest test per group.
set(DRIVER_TESTS ${METADROP_WIN_DIR}/tests/windows/driver/driver_tests.exe)
foreach(group BoxFont RealTool StandInReports ToolFailures ToolProtocol ToolStart)
  add_wine_test(NAME driver_${group} TIMEOUT 120
    COMMAND ${WINE_RUN} ${DRIVER_TESTS} --gtest_filter=${group}.*)
endforeach()
add_wine_test(NAME driver_LongProgramPath TIMEOUT 60
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/driver/long_program_path)
