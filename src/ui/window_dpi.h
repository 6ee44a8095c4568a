// The window at the scale of its monitor: the box's fonts, made for it and
// held here, their one owner, for as long as the box may use them; and the
// window laid out again when it moves to a monitor of another scale.
#pragma once

#include <windows.h>

#include "ui/dialog_template.h"
#include "ui/result_box.h"

inline PixelRect ToPixelRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The window's rectangle fitted to the work area of the monitor it is
// nearest, as FitToWorkArea fits it.
PixelRect FittedToItsMonitor(const RECT& window);

// The dots per inch of the window's monitor; the system's where Windows
// cannot tell (before Windows 10).
int WindowDpi(HWND window);

// Once the window and its box are made: makes the box's fonts for the DPI
// the window was laid out at, its monitor's wherever the system lays dialogs
// out for each monitor, and puts its own face on the box (the fonts of an
// earlier window go); keeps the dialog manager's own handling of a DPI
// change out.
void SetUpWindowScale(HWND dialog);

// The fonts the box has now.
const BoxFonts& CurrentBoxFonts();

// WM_DPICHANGED, with the new DPI and the suggested rectangle: the window
// takes that rectangle fitted to its monitor's work area, the box its fonts
// for the new DPI and the new client area less its margins at the new scale.
// A minimized window is laid out so once restored.
INT_PTR OnDpiChanged(HWND dialog, WPARAM wParam, LPARAM lParam);

// WM_SIZE of a window restored or maximized from minimized.
void OnWindowRestored(HWND dialog);
