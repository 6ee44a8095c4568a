// The program's one window: a fixed dialog filled by a multi-line text box.
#pragma once

#include <windows.h>

#include <string_view>

#include "common/win_resources.h"

using DialogCallbackProc = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// Creates the hidden window from its in-memory template with its text box;
// null when the window cannot be made.
HWND CreateMainDialog(HINSTANCE instance);

// The box's fonts: its own Courier face, and a fixed-pitch TrueType face of
// the same line height for reports that face cannot show whole.
struct BoxFonts {
    UniqueFont face;
    UniqueFont fallback;
};

// Creates the box's fonts at the box's own dots per inch and puts its own
// face on the box. A font that cannot be made is empty; without its own face
// the box keeps the window's font.
BoxFonts PutResultFonts(HWND dialog);

// Gives the box the face that shows the report whole, before the report is
// put into it: its own while the report lies in that face's code page, else
// the TrueType face. The box's margins stay as they were.
void FitBoxFont(HWND box, std::u16string_view report);

// Work of the window's thread that goes on off it: the handle to wait for
// beside the messages (null when there is none), and what to do once it is
// signalled.
struct BackgroundWork {
    HANDLE (*pending)();
    void (*done)();
};

// Shows the window and runs the program's message loop until the window has
// been destroyed, handing its messages to the callback.
void RunModal(HWND dialog, DialogCallbackProc callback, BackgroundWork work);
