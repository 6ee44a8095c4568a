# End-to-end tests: the real exe on the virtual display, files dropped on it
# by XDND and the window looked at from outside. Each test runs its own
# copies of the program.
set(E2E_CASES ${CMAKE_SOURCE_DIR}/tests/e2e/cases.py)
foreach(group real_tool_report real_tool_names drop_targets missing_tool tool_dies closing)
  add_wine_test(NAME e2e_${group} TIMEOUT 240 COMMAND /usr/bin/python3 ${E2E_CASES} ${group})
endforeach()
