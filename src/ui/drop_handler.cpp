#include "ui/drop_handler.h"

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/utf8.h"
#include "common/win_resources.h"
#include "common/win_text.h"
#include "driver/exiftool.h"
#include "report/messages.h"
#include "report/show_error.h"
#include "ui/box_text.h"
#include "ui/dialog_template.h"

namespace {

WNDPROC PreviousBoxProc = nullptr;
bool exchangeInProgress = false;

// Marks the drop being handled, however its handling ends.
class ExchangeInProgress {
  public:
    ExchangeInProgress() { exchangeInProgress = true; }
    ~ExchangeInProgress() { exchangeInProgress = false; }
    ExchangeInProgress(const ExchangeInProgress&) = delete;
    ExchangeInProgress& operator=(const ExchangeInProgress&) = delete;
};

// The wait cursor while the tool works; then the cursor of whatever window
// is under the pointer, as a move of the mouse would give it.
class WaitCursor {
  public:
    WaitCursor() { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }
    ~WaitCursor() {
        POINT at{};
        HWND under = GetCursorPos(&at) ? WindowFromPoint(at) : nullptr;
        if (under == nullptr || GetWindowThreadProcessId(under, nullptr) != GetCurrentThreadId()) {
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            return;
        }
        const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
        SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                     MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

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

void ShowNoMemory() {
    try {
        ShowMessage(kNoMemoryText, kErrorCaption);
    } catch (const std::exception&) {
        // Nothing is left to tell the user with.
    }
}

void HandleDrop(HWND box, HDROP drop) {
    ToolAnswer answer = ExchangeWithExifTool(DroppedPaths(drop));
    if (!IsWindow(box)) {
        // The window was closed while an error box of this drop was open.
        return;
    }
    if (answer.lost || !ShowReport(box, std::move(answer.report), std::move(answer.errors))) {
        ShowNoMemory();
    }
}

void OnDropFiles(HWND box, HDROP dropHandle) {
    UniqueDrop drop(dropHandle);
    if (exchangeInProgress) {
        // Only while an error box of the running drop has its own loop: a
        // second request now would mix its lines with the first's.
        return;
    }
    ExchangeInProgress inProgress;
    WaitCursor waiting;
    // Nothing may leave a window procedure; the tool's streams are in step
    // whatever failed here.
    try {
        HandleDrop(box, drop.Get());
    } catch (const std::bad_alloc&) {
        ShowNoMemory();
    } catch (const std::length_error&) {
        ShowNoMemory();
    }
}

// Some systems (Wine 10) hand a drop on the box to its top-level window. Only
// a drop whose point lies on the box counts, as the box alone takes files.
INT_PTR OnDialogDropFiles(HWND dialog, HDROP dropHandle) {
    HWND box = GetDlgItem(dialog, kResultBoxId);
    POINT at{};
    RECT area{};
    if (box != nullptr && DragQueryPoint(dropHandle, &at) && GetWindowRect(box, &area)) {
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
        if (PtInRect(&area, at)) {
            OnDropFiles(box, dropHandle);
            return TRUE;
        }
    }
    DragFinish(dropHandle);
    return TRUE;
}

// The parts of the box's text with how each is decoded.
struct DecodedPart {
    std::string_view bytes;
    bool ansi;
    size_t length;
};

} // namespace

bool ShowReport(HWND box, std::string report, std::string errors) {
    std::vector<DecodedPart> parts;
    size_t length = 0;
    for (std::string_view bytes : BoxTextParts(report, errors)) {
        if (bytes.size() > kLargestReport) {
            return false;
        }
        // The tool writes UTF-8; anything else is taken as the ANSI code page.
        const bool ansi = !IsValidUtf8(bytes);
        parts.push_back({bytes, ansi, WideLength(bytes, ansi)});
        length += parts.back().length;
    }
    if (length > kLargestReport) {
        return false;
    }
    if (length == 0) {
        // The box keeps the old layout of an empty buffer handed to it.
        SetWindowTextW(box, L"");
        return true;
    }
    // The box gets the text in a buffer of its own that we fill, so a large
    // report is held once as UTF-16 and not copied again into the box.
    UniqueLocalMemory<void> text(
        LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, (length + 1) * sizeof(wchar_t)));
    if (!text) {
        return false;
    }
    auto* out = static_cast<wchar_t*>(LocalLock(text.Get()));
    for (const DecodedPart& part : parts) {
        WidenInto(part.bytes, part.ansi, out, part.length);
        out += part.length;
    }
    LocalUnlock(text.Get());
    std::string().swap(report);
    std::string().swap(errors);
    UniqueLocalMemory<void> previous(
        reinterpret_cast<HLOCAL>(SendMessageW(box, EM_GETHANDLE, 0, 0)));
    SendMessageW(box, EM_SETHANDLE, reinterpret_cast<WPARAM>(text.Release()), 0);
    return true;
}

INT_PTR DialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        PreviousBoxProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(GetDlgItem(dialog, kResultBoxId), GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(ResultBoxProc)));
        return 0;
    case WM_DROPFILES:
        return OnDialogDropFiles(dialog, reinterpret_cast<HDROP>(wParam));
    default:
        return 0;
    }
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
