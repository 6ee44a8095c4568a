#include "ui/drop_handler.h"

#include <string>
#include <vector>

#include "common/utf8.h"
#include "common/win_resources.h"
#include "common/win_text.h"
#include "driver/exiftool.h"
#include "ui/dialog_template.h"

namespace {

WNDPROC PreviousBoxProc = nullptr;
bool exchangeInProgress = false;

std::vector<std::string> DroppedPaths(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    paths.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        // Asked for its length first, so no path is ever cut.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        paths.push_back(Narrow(path));
    }
    return paths;
}

// The tool writes UTF-8; anything else is taken as the ANSI code page. The
// box shows what a zero-terminated text would.
std::wstring BoxTextFor(std::string_view report) {
    const std::string_view shown = UpToFirstZero(report);
    return IsValidUtf8(shown) ? Widen(shown) : WidenFromAnsi(shown);
}

void OnDropFiles(HWND box, HDROP dropHandle) {
    UniqueDrop drop(dropHandle);
    if (exchangeInProgress) {
        // Only while an error box of the running drop has its own loop: a
        // second request now would mix its lines with the first's.
        return;
    }
    exchangeInProgress = true;
    const std::string report = ExchangeWithExifTool(DroppedPaths(drop.Get()));
    SetWindowTextW(box, BoxTextFor(report).c_str());
    exchangeInProgress = false;
}

} // namespace

INT_PTR DialogCallback(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        HWND box = GetDlgItem(dialog, kResultBoxId);
        PreviousBoxProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ResultBoxProc)));
    }
    return 0;
}

LRESULT CALLBACK ResultBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DROPFILES:
        // Handled and released here; the released handle goes no further.
        OnDropFiles(box, reinterpret_cast<HDROP>(wParam));
        return 0;
    default:
        return CallWindowProcW(PreviousBoxProc, box, message, wParam, lParam);
    }
}
