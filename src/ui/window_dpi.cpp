#include "ui/window_dpi.h"

#include <utility>

#include "common/system_calls.h"
#include "ui/dialog_template.h"

namespace {

// The window's scale: its fonts, and the box's margins in pixels at the DPI
// the window was made at, which each new scale is taken from.
struct Scale {
    BoxFonts fonts;
    int madeAt = 0;
    POINT margin{};
    // The DPI it is laid out for now, and one that came while it was
    // minimized, with no client area to lay out.
    int shownAt = 0;
    int pending = 0;
};
Scale scale;

// The dialog manager of Windows 10 1703 and later lays out a dialog on a
// DPI change itself, with fonts of its own; this window does all of it.
void KeepDialogManagerOut(HWND dialog) {
    using SetBehavior = BOOL(WINAPI*)(HWND, int, int);
    constexpr int kDisableAll = 1; // DDC_DISABLE_ALL
    static const auto set = FindSystemFunction<SetBehavior>(GetModuleHandleW(L"user32.dll"),
                                                            "SetDialogDpiChangeBehavior");
    if (set != nullptr) {
        set(dialog, kDisableAll, kDisableAll);
    }
}

int SystemDpi() {
    WindowDc screen(nullptr);
    return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

// A dialog manager that is not aware of each monitor (Wine 10's, where the
// system's DPI is not the monitor's) lays the window out at the system's
// DPI: the box's text then goes with the window.
int LaidOutAt(HWND dialog) {
    LOGFONTW font{};
    const auto windowFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    if (windowFont == nullptr || GetObjectW(windowFont, sizeof(font), &font) == 0) {
        return WindowDpi(dialog);
    }
    return LayoutDpi(WindowDpi(dialog), SystemDpi(), font.lfHeight);
}

void Rescale(HWND dialog, int dpi, const RECT& suggested) {
    scale.pending = 0;
    const PixelRect fitted = FittedToItsMonitor(suggested);
    SetWindowPos(dialog, nullptr, fitted.left, fitted.top, fitted.right - fitted.left,
                 fitted.bottom - fitted.top, SWP_NOZORDER | SWP_NOACTIVATE);
    HWND box = GetDlgItem(dialog, kResultBoxId);
    RECT client{};
    if (box == nullptr || scale.madeAt == 0 || !GetClientRect(dialog, &client)) {
        return;
    }
    const int x = ScaleForDpi(scale.margin.x, scale.madeAt, dpi);
    const int y = ScaleForDpi(scale.margin.y, scale.madeAt, dpi);
    BoxFonts fresh = ChangeBoxFonts(box, dpi, {x, y, client.right - x, client.bottom - y});
    scale.shownAt = dpi;
    if (fresh.face) {
        // The box uses none of the old fonts any more: they go.
        scale.fonts = std::move(fresh);
    }
}

} // namespace

PixelRect FittedToItsMonitor(const RECT& window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromRect(&window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return ToPixelRect(window);
    }
    return FitToWorkArea(ToPixelRect(window), ToPixelRect(monitor.rcWork));
}

int WindowDpi(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto get =
        FindSystemFunction<GetDpi>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    const UINT dpi = get != nullptr ? get(window) : 0;
    return dpi != 0 ? static_cast<int>(dpi) : SystemDpi();
}

void SetUpWindowScale(HWND dialog) {
    scale = Scale();
    if (dialog == nullptr) {
        return;
    }
    KeepDialogManagerOut(dialog);
    scale.madeAt = LaidOutAt(dialog);
    RECT margin{kBoxMargin, kBoxMargin, 0, 0};
    MapDialogRect(dialog, &margin);
    scale.margin = {margin.left, margin.top};
    scale.shownAt = scale.madeAt;
    scale.fonts = PutResultFonts(dialog, scale.madeAt);
}

const BoxFonts& CurrentBoxFonts() {
    return scale.fonts;
}

INT_PTR OnDpiChanged(HWND dialog, WPARAM wParam, LPARAM lParam) {
    const int dpi = HIWORD(wParam);
    if (IsIconic(dialog)) {
        scale.pending = dpi;
    } else {
        Rescale(dialog, dpi, *reinterpret_cast<const RECT*>(lParam));
    }
    return TRUE;
}

void OnWindowRestored(HWND dialog) {
    RECT now{};
    if (scale.pending == 0 || scale.shownAt == 0 || !GetWindowRect(dialog, &now)) {
        return;
    }
    // Windows restores the size it had at the old scale: it grows or shrinks
    // in place, as a move to the new monitor would have suggested.
    const int dpi = scale.pending;
    const RECT suggested{now.left, now.top,
                         now.left + ScaleForDpi(now.right - now.left, scale.shownAt, dpi),
                         now.top + ScaleForDpi(now.bottom - now.top, scale.shownAt, dpi)};
    Rescale(dialog, dpi, suggested);
}
