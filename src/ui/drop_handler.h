// Turns files dropped on the text box into requests to the tool, worked on
// one at a time off the window's thread, and shows each answer in the box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Called for the main window's messages; at WM_INITDIALOG it puts
// ResultBoxProc in front of the text box. A drop that reaches the window
// itself is the box's when its point lies on the box, else it is released.
// While a drop is worked on, the window shows the wait cursor. Nonzero for
// the messages it handled.
INT_PTR DialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The text box's window procedure while the program runs.
LRESULT CALLBACK ResultBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

// The paths the program was started with: the window's first drop, begun
// once the window shows and handled as any other.
void AddFirstDrop(std::vector<std::string> paths);

// For the window's loop: the handle of the drop's exchange off the window's
// thread (null when none runs), what to do once it is signalled, whether
// work on the window's thread waits (the report's next piece to put into
// the box, or the drop's end), and one bounded step of that work.
HANDLE PendingDropWork();
void OnDropWorkSignalled();
bool DropWorkWaiting();
void DoDropWork();
