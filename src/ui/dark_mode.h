// The window in the app mode the user chose: dark where Windows' apps are
// set to dark and high contrast is off, else in the system's own colours.
// The system draws everything; the window only asks for its colours.
#pragma once

#include <windows.h>

// Reads the user's choice and gives the window, its title bar and its box's
// scroll bar the look it asks for; at start, and on each change.
void ApplyColourScheme(HWND dialog);

// WM_SETTINGCHANGE: a change of the app mode or of high contrast applies at
// once.
void OnSettingChange(HWND dialog, WPARAM wParam, LPARAM lParam);

// WM_CTLCOLORDLG and WM_CTLCOLOREDIT: in the dark scheme, the brush of the
// margin or of the box, with the text colours set in the device context;
// else 0, for the system's colours.
INT_PTR OnCtlColor(UINT message, WPARAM dc);
