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

void OnDropFiles(HWND box, HDROP dropHandle) {
    UniqueDrop drop(dropHandle);
    if (exchangeInProgress) {
        // Only while an error box of the running drop has its own loop: a
        // second request now would mix its lines with the first's.
        return;
    }
    exchangeInProgress = true;
    ShowReport(box, ExchangeWithExifTool(DroppedPaths(drop.Get())));
    exchangeInProgress = false;
}

} // namespace

void ShowReport(HWND box, std::string report) {
    // The tool writes UTF-8; anything else is taken as the ANSI code page.
    const std::string_view shown = UpToFirstZero(report);
    const bool ansi = !IsValidUtf8(shown);
    const size_t length = WideLength(shown, ansi);
    // The box gets the text in a buffer of its own that we fill, so a large
    // report is held once as UTF-16 and not copied again into the box.
    UniqueLocalMemory<void> text(
        LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, (length + 1) * sizeof(wchar_t)));
    if (!text) {
        SetWindowTextW(box, L"");
        return;
    }
    WidenInto(shown, ansi, static_cast<wchar_t*>(LocalLock(text.Get())), length);
    LocalUnlock(text.Get());
    report = std::string();
    UniqueLocalMemory<void> previous(
        reinterpret_cast<HLOCAL>(SendMessageW(box, EM_GETHANDLE, 0, 0)));
    SendMessageW(box, EM_SETHANDLE, reinterpret_cast<WPARAM>(text.Release()), 0);
}

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
