// The program's one window: a fixed dialog filled by a multi-line text box.
#pragma once

#include <windows.h>

using DialogCallbackProc = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// Creates the hidden window from its in-memory template with its text box;
// null when the window cannot be made.
HWND CreateMainDialog(HINSTANCE instance);

// Work of the window's thread beside its messages: the handle of work off
// the thread to wait for (null when there is none) and what to do once it is
// signalled; whether work on the thread waits, and one bounded step of it.
struct BackgroundWork {
    HANDLE (*pending)();
    void (*signalled)();
    bool (*waiting)();
    void (*step)();
};

// Hands the window's messages to the callback from now on, WM_INITDIALOG
// first, and shows the window with the focus in its box.
void ShowMainDialog(HWND dialog, DialogCallbackProc callback);

// Shows the window and runs the program's message loop until the window has
// been destroyed, handing its messages to the callback.
void RunModal(HWND dialog, DialogCallbackProc callback, BackgroundWork work);

// One turn of that loop: sleeps until a message comes or the pending work is
// signalled (not at all while work waits), handles every message that waits,
// then takes one step of the work. For programs that drive the window
// themselves.
void RunLoopOnce(HWND dialog, BackgroundWork work);
