// Turns files dropped on the text box into one request to the tool.
#pragma once

#include <windows.h>

// Called for the main window's messages; at WM_INITDIALOG it puts
// ResultBoxProc in front of the text box. Handles nothing itself: always 0.
INT_PTR DialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The text box's window procedure while the program runs.
LRESULT CALLBACK ResultBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
