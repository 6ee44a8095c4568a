// The program's one window: a fixed dialog filled by a multi-line text box.
#pragma once

#include <windows.h>

#include "common/win_resources.h"

using DialogCallbackProc = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// Creates the hidden window from its in-memory template with its text box;
// null when the window cannot be made.
HWND CreateMainDialog(HINSTANCE instance);

// Creates the box's Courier font at the box's own dots per inch and puts it
// on the box. Empty when the font cannot be made; the box then keeps the
// window's font.
UniqueFont PutResultFont(HWND dialog);

// Shows the window and runs the program's message loop until the window has
// been destroyed, handing its messages to the callback.
void RunModal(HWND dialog, DialogCallbackProc callback);
