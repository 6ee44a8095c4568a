// Turns files dropped on the text box into one request to the tool.
#pragma once

#include <windows.h>

#include <string>

// Called for the main window's messages; at WM_INITDIALOG it puts
// ResultBoxProc in front of the text box. A drop that reaches the window
// itself is the box's when its point lies on the box, else it is released.
// Nonzero for the messages it handled.
INT_PTR DialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Replaces the box's whole text with a report and, after it, the tool's
// errors: each UTF-8 when it is valid UTF-8, else the ANSI code page, and
// each up to its first zero byte. False, with the box as it was, when the
// text is too large for the box or there is no memory for it.
bool ShowReport(HWND box, std::string report, std::string errors = std::string());

// The text box's window procedure while the program runs.
LRESULT CALLBACK ResultBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
