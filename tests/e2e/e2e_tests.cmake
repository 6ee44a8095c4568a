# End-to-end tests: the real exe on the virtual display, files dropped on it
# by XDND and the window looked at from outside. Each test runs its own
# copies of the program.
set(E2E_CASES ${CMAKE_SOURCE_DIR}/tests/e2e/cases.py)
foreach(group real_tool_report real_tool_names drop_targets missing_tool tool_dies waiting
    small_screen closing responsive command_line open_and_save)
  add_wine_test(NAME e2e_${group} TIMEOUT 240 COMMAND /usr/bin/python3 ${E2E_CASES} ${group})
endforeach()

# Endurance and fault cases; `endurance.py soak N` runs a longer soak.
set(E2E_ENDURANCE ${CMAKE_SOURCE_DIR}/tests/e2e/endurance.py)
add_wine_test(NAME e2e_soak TIMEOUT 300 COMMAND /usr/bin/python3 ${E2E_ENDURANCE} soak 150)
foreach(group many_files hard_paths stand_in_faults ready_alignment dpi dark)
  add_wine_test(NAME e2e_${group} TIMEOUT 180 COMMAND /usr/bin/python3 ${E2E_ENDURANCE} ${group})
endforeach()
