#include "ui/main_window.h"

#include <vector>

#include "common/win_text.h"
#include "ui/box_font.h"
#include "ui/dialog_template.h"

namespace {

DialogCallbackProc dialogCallback = nullptr;
// The box's fonts, which WinMain owns for as long as the box lives, and the
// code page of its own face; 0 where the system cannot tell it.
HFONT boxFace = nullptr;
HFONT boxFallback = nullptr;
unsigned boxCodePage = 0;

// Courier New in whatever script the report needs, at the line height the
// box's own face has as the system made it. Also gives that face's code page.
UniqueFont MakeFallbackFont(HWND box, HFONT face, unsigned* codePage) {
    TEXTMETRICW metrics{};
    CHARSETINFO charset{};
    {
        WindowDc dc(box);
        DcSelection selected(dc.Get(), face);
        if (!GetTextMetricsW(dc.Get(), &metrics)) {
            return UniqueFont();
        }
        const UINT_PTR id = static_cast<UINT_PTR>(GetTextCharsetInfo(dc.Get(), nullptr, 0));
        *codePage = TranslateCharsetInfo(reinterpret_cast<DWORD*>(id), &charset, TCI_SRCCHARSET)
                        ? charset.ciACP
                        : 0;
    }
    LOGFONTW description{};
    // Positive: the cell height, as the line height is.
    description.lfHeight = metrics.tmHeight;
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    Widen(kFallbackFontFace).copy(description.lfFaceName, LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&description));
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
    default:
        // WM_CLOSE, WM_COMMAND (Enter, Escape) and the colour messages get
        // the system's handling, which never destroys the window.
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
    }
}

PixelRect ToPixelRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// A window taller or wider than its monitor's work area takes the work area
// in that dimension, and the box follows the smaller client area, so that
// all of it, scroll bar too, is on screen.
void FitToMonitor(HWND dialog) {
    RECT outer{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetWindowRect(dialog, &outer) ||
        !GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const PixelRect fitted = FitToWorkArea(ToPixelRect(outer), ToPixelRect(monitor.rcWork));
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

// One turn of the loop: sleeps until a message comes or the work's handle is
// signalled, then handles the work's end, or else every message that waits.
void RunLoopOnce(HWND dialog, BackgroundWork work) {
    HANDLE pending = work.pending();
    const DWORD count = pending != nullptr ? 1 : 0;
    // No time-out: at rest the thread sleeps until there is something to do.
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(count, &pending, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (count == 1 && woke == WAIT_OBJECT_0) {
        // Messages that wait meanwhile wake the next turn at once.
        work.done();
        return;
    }
    MSG message{};
    while (IsWindow(dialog) && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
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
    return dialog;
}

BoxFonts PutResultFonts(HWND dialog) {
    HWND box = GetDlgItem(dialog, kResultBoxId);
    if (box == nullptr) {
        return BoxFonts();
    }
    LOGFONTW description{};
    {
        WindowDc dc(box);
        description.lfHeight = ResultFontHeight(GetDeviceCaps(dc.Get(), LOGPIXELSY));
    }
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = ANSI_CHARSET;
    // Where Courier is missing, the nearest face should still be fixed-pitch.
    description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    Widen(kResultFontFace).copy(description.lfFaceName, LF_FACESIZE - 1);
    BoxFonts fonts;
    fonts.face.Reset(CreateFontIndirectW(&description));
    if (!fonts.face) {
        return fonts;
    }
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.face.Get()), TRUE);
    fonts.fallback = MakeFallbackFont(box, fonts.face.Get(), &boxCodePage);
    boxFace = fonts.face.Get();
    boxFallback = fonts.fallback.Get();
    return fonts;
}

void FitBoxFont(HWND box, std::u16string_view report) {
    if (boxFace == nullptr || boxFallback == nullptr || boxCodePage == 0) {
        return;
    }
    HFONT wanted = ChooseBoxFace(report, boxCodePage) == BoxFace::Raster ? boxFace : boxFallback;
    if (reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)) == wanted) {
        return;
    }
    // Emptied first, so that the old report is not laid out again in the new
    // face; a new font would also bring margins of its own.
    const LRESULT margins = SendMessageW(box, EM_GETMARGINS, 0, 0);
    SetWindowTextW(box, L"");
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(wanted), FALSE);
    SendMessageW(box, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, margins);
}

void RunModal(HWND dialog, DialogCallbackProc callback, BackgroundWork work) {
    if (dialog == nullptr) {
        return;
    }
    SetForegroundWindow(dialog);
    callback(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0);
    RECT client{};
    GetClientRect(dialog, &client);
    callback(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    dialogCallback = callback;
    ShowWindow(dialog, SW_SHOW);
    while (IsWindow(dialog)) {
        RunLoopOnce(dialog, work);
    }
}
