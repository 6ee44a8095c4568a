#include "ui/main_window.h"

#include <vector>

#include "common/win_text.h"
#include "ui/dark_mode.h"
#include "ui/dialog_template.h"
#include "ui/find.h"
#include "ui/wake_mask.h"
#include "ui/window_dpi.h"

namespace {

constexpr DWORD kFailedWaitPauseMs = 10;

DialogCallbackProc dialogCallback = nullptr;

// The messages that wake the loop, asked of the system once: a mask it
// refuses would fail every wait.
UINT WakeMask() {
    static const UINT mask = ChooseWakeMask(QS_ALLINPUT, [](unsigned tried) {
        return MsgWaitForMultipleObjectsEx(0, nullptr, 0, tried, MWMO_INPUTAVAILABLE) !=
               WAIT_FAILED;
    });
    return mask;
}

INT_PTR OnCallbackResult(HWND dialog, INT_PTR result) {
    if (GetWindowLongPtrW(dialog, DWLP_MSGRESULT) == 0) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    }
    return result;
}

INT_PTR OnSysCommand(HWND dialog, WPARAM command) {
    if ((command & 0xFFF0) != SC_CLOSE) {
        return FALSE;
    }
    // The one way the window closes: close box, system menu, Alt+F4.
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    DestroyWindow(dialog);
    return TRUE;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_ACTIVATE:
        return FALSE;
    default:
        break;
    }
    if (dialogCallback != nullptr) {
        const INT_PTR result = dialogCallback(dialog, message, wParam, lParam);
        if (result != 0) {
            return OnCallbackResult(dialog, result);
        }
    }
    switch (message) {
    case WM_SYSCOMMAND:
        return OnSysCommand(dialog, wParam);
    case WM_NCDESTROY:
        dialogCallback = nullptr;
        return TRUE;
    case WM_DPICHANGED:
        return OnDpiChanged(dialog, wParam, lParam);
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) {
            OnWindowRestored(dialog);
        }
        return FALSE;
    case WM_SETTINGCHANGE:
        OnSettingChange(dialog, wParam, lParam);
        return FALSE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
        return OnCtlColor(message, wParam);
    default:
        // WM_CLOSE and WM_COMMAND (Enter, Escape) get the system's handling,
        // which never destroys the window.
        return FALSE;
    }
}

void CreateResultBox(HWND dialog, HINSTANCE instance) {
    RECT area{kBoxMargin, kBoxMargin, kDialogWidth - kBoxMargin, kDialogHeight - kBoxMargin};
    MapDialogRect(dialog, &area);
    HWND box = CreateWindowExW(WS_EX_ACCEPTFILES, L"EDIT", L"", kResultBoxStyle, area.left,
                               area.top, area.right - area.left, area.bottom - area.top, dialog,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kResultBoxId)),
                               instance, nullptr);
    if (box != nullptr) {
        const LRESULT windowFont = SendMessageW(dialog, WM_GETFONT, 0, 0);
        SendMessageW(box, WM_SETFONT, static_cast<WPARAM>(windowFont), TRUE);
        // Appends obey the box's text limit, 30000 characters by default.
        SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
    }
}

// A window taller or wider than its monitor's work area takes the work area
// in that dimension, and the box follows the smaller client area, so that
// all of it, scroll bar too, is on screen.
void FitToMonitor(HWND dialog) {
    RECT outer{};
    if (!GetWindowRect(dialog, &outer)) {
        return;
    }
    const PixelRect fitted = FittedToItsMonitor(outer);
    if (fitted == ToPixelRect(outer)) {
        return;
    }
    SetWindowPos(dialog, nullptr, fitted.left, fitted.top, fitted.right - fitted.left,
                 fitted.bottom - fitted.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT margin{kBoxMargin, kBoxMargin, 0, 0};
    MapDialogRect(dialog, &margin);
    RECT client{};
    GetClientRect(dialog, &client);
    MoveWindow(GetDlgItem(dialog, kResultBoxId), margin.left, margin.top,
               client.right - 2 * margin.left, client.bottom - 2 * margin.top, TRUE);
}

} // namespace

HWND CreateMainDialog(HINSTANCE instance) {
    const std::vector<std::uint8_t> layout = MainDialogTemplate();
    HWND dialog = CreateDialogIndirectParamW(
        instance, reinterpret_cast<LPCDLGTEMPLATEW>(layout.data()), nullptr, MainDialogProc, 0);
    if (dialog == nullptr) {
        return nullptr;
    }
    SetWindowTextW(dialog, Widen(kWindowCaption).c_str());
    CreateResultBox(dialog, instance);
    FitToMonitor(dialog);
    ApplyColourScheme(dialog);
    return dialog;
}

void RunLoopOnce(HWND dialog, BackgroundWork work) {
    HANDLE pending = work.pending();
    const DWORD count = pending != nullptr ? 1 : 0;
    // At rest the thread sleeps until there is something to do.
    const DWORD wait = work.waiting() ? 0 : INFINITE;
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(count, &pending, wait, WakeMask(), MWMO_INPUTAVAILABLE);
    // A wait that failed tells nothing: the event is asked itself.
    if (count == 1 && (woke == WAIT_OBJECT_0 ||
                       (woke == WAIT_FAILED && WaitForSingleObject(pending, 0) == WAIT_OBJECT_0))) {
        work.signalled();
    }
    if (woke == WAIT_FAILED && wait != 0) {
        // A wait that cannot be made becomes a poll, never a spin; not told,
        // as it would be at every turn, and the loop still does its work.
        Sleep(kFailedWaitPauseMs);
    }
    // All input that waits is handled between two steps of the work.
    MSG message{};
    while (IsWindow(dialog) && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsFindDialogMessage(&message) && !IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (IsWindow(dialog) && work.waiting()) {
        work.step();
    }
}

void ShowMainDialog(HWND dialog, DialogCallbackProc callback) {
    SetForegroundWindow(dialog);
    callback(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0);
    RECT client{};
    GetClientRect(dialog, &client);
    callback(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    dialogCallback = callback;
    ShowWindow(dialog, SW_SHOW);
    // The box is no tab stop, so the dialog manager may give it no focus.
    SetFocus(GetDlgItem(dialog, kResultBoxId));
}

void RunModal(HWND dialog, DialogCallbackProc callback, BackgroundWork work) {
    if (dialog == nullptr) {
        return;
    }
    ShowMainDialog(dialog, callback);
    while (IsWindow(dialog)) {
        RunLoopOnce(dialog, work);
    }
}
