// Turns files dropped on the text box into requests to the tool, worked on
// one at a time off the window's thread, and shows each answer in the box.
#pragma once

#include <windows.h>

#include <string>

// Called for the main window's messages; at WM_INITDIALOG it puts
// ResultBoxProc in front of the text box. A drop that reaches the window
// itself is the box's when its point lies on the box, else it is released.
// While a drop is worked on, the window shows the wait cursor. Nonzero for
// the messages it handled.
INT_PTR DialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Replaces the box's whole text with a report and, after it, the tool's
// errors and the program's notes: each UTF-8 when it is valid UTF-8, else
// the ANSI code page, and the first two each up to its first zero byte.
// False, with the box as it was, when the text is too large for the box or
// there is no memory for it.
bool ShowReport(HWND box, std::string report, std::string errors = std::string(),
                std::string notes = std::string());

// The text box's window procedure while the program runs.
LRESULT CALLBACK ResultBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

// For the window's loop: the handle of the drop being worked on off the
// window's thread (null when none is), and what to do once it is signalled.
HANDLE PendingDropWork();
void OnDropWorkDone();
