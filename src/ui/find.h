// Find in the report: the system's Find dialog, owned by the main window,
// and the keys that search the box (Ctrl+F, F3, Shift+F3).
#pragma once

#include <windows.h>

#include <string>

// Gives Find the main window and its box.
void SetUpFind(HWND dialog, HWND box);

// The dialog's registered message, which the main window's callback hands
// on; nonzero once taken.
bool IsFindNotice(UINT message);
INT_PTR OnFindNotice(LPARAM lParam);

// Ctrl+F opens the dialog or brings it forward; F3 and Shift+F3 find the
// next and the previous match of the last text searched for, and with none
// yet open the dialog. True when the key was one of them.
bool OnFindKey(WPARAM key);

// For the window's loop: the dialog's own messages, and the keys above
// while it has the focus. True when taken.
bool IsFindDialogMessage(MSG* message);

// Selects the next match in the box's text as it is now and scrolls it into
// view; false, with the selection as it was, when there is none.
bool FindInBox(HWND box, const std::wstring& what, bool down, bool matchCase, bool wholeWord);
