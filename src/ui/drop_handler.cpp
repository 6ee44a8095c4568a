#include "ui/drop_handler.h"

#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/utf8.h"
#include "common/win_resources.h"
#include "common/win_text.h"
#include "driver/exchange.h"
#include "driver/tool_process.h"
#include "report/messages.h"
#include "report/show_error.h"
#include "ui/box_text.h"
#include "ui/dialog_template.h"
#include "ui/drop_queue.h"
#include "ui/main_window.h"

namespace {

constexpr WPARAM kCtrlA = 0x01;

WNDPROC PreviousBoxProc = nullptr;
HWND resultBox = nullptr;
DropQueue drops;
// The drop being worked on was cancelled: its answer goes unshown.
bool cancelled = false;

// Gives the window under the pointer its cursor again, as a move of the
// mouse would: the wait cursor while a drop is worked on, its own after.
void RefreshCursor() {
    POINT at{};
    HWND under = GetCursorPos(&at) ? WindowFromPoint(at) : nullptr;
    if (under == nullptr || GetWindowThreadProcessId(under, nullptr) != GetCurrentThreadId()) {
        return;
    }
    const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                 MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

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

// The failed calls, then the report; what the window no longer shows after
// it was closed under a box goes unsaid.
void ShowAnswer(HWND box, ToolAnswer answer) {
    for (const ToolFailure& failure : answer.failures) {
        if (!IsWindow(box)) {
            return;
        }
        ShowError(failure.label, failure.code);
    }
    if (!IsWindow(box)) {
        return;
    }
    if (answer.errorsLost) {
        answer.notes += kErrorTextLostText;
        answer.notes += "\r\n";
    }
    if (answer.lost || !ShowReport(box, std::move(answer.report), std::move(answer.errors),
                                   std::move(answer.notes))) {
        ShowNoMemory();
    }
}

// True once the drop is worked on off this thread; false when it has been
// answered here already.
bool BeginDrop(HWND box, std::vector<std::string> paths) {
    if (RestartExifToolIfEnded() != 1) {
        // The start has said why.
        if (IsWindow(box)) {
            ShowReport(box, std::string(kErrorReport));
        }
        return false;
    }
    if (BeginExchange(std::move(paths)) == nullptr) {
        ShowNoMemory();
        return false;
    }
    return true;
}

void StartNextDrop(HWND box) {
    while (IsWindow(box)) {
        std::optional<std::vector<std::string>> paths = drops.Begin();
        if (!paths) {
            break;
        }
        if (BeginDrop(box, std::move(*paths))) {
            break;
        }
        drops.Finish();
    }
    RefreshCursor();
}

void OnDropFiles(HWND box, HDROP dropHandle) {
    UniqueDrop drop(dropHandle);
    // Nothing may leave a window procedure.
    try {
        drops.Add(DroppedPaths(drop.Get()));
    } catch (const std::bad_alloc&) {
        ShowNoMemory();
        return;
    } catch (const std::length_error&) {
        ShowNoMemory();
        return;
    }
    drop.Reset();
    StartNextDrop(box);
}

// The tool is ended at once; its answer, a failed read, goes unshown.
bool CancelDrop(HWND box) {
    if (cancelled || ExchangeInProgress() == nullptr) {
        return false;
    }
    EndExifTool();
    cancelled = true;
    try {
        ShowReport(box, std::string(kCancelledText) + "\r\n");
    } catch (const std::bad_alloc&) {
        SetWindowTextW(box, L"");
    }
    return true;
}

bool OnKeyDown(HWND box, WPARAM key) {
    switch (key) {
    case VK_ESCAPE:
        return CancelDrop(box);
    case 'A':
        if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0) {
            return false;
        }
        // Ctrl+A selects the whole report, for Ctrl+C to copy.
        SendMessageW(box, EM_SETSEL, 0, -1);
        return true;
    default:
        return false;
    }
}

INT_PTR OnSetCursor(LPARAM lParam) {
    if (!drops.Busy() || LOWORD(lParam) != HTCLIENT) {
        return 0;
    }
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return TRUE;
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

bool ShowReport(HWND box, std::string report, std::string errors, std::string notes) {
    std::vector<DecodedPart> parts;
    size_t length = 0;
    for (std::string_view bytes : BoxTextParts(report, errors, notes)) {
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
        FitBoxFont(box, std::u16string_view());
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
    const std::u16string_view whole(reinterpret_cast<const char16_t*>(out), length);
    for (const DecodedPart& part : parts) {
        WidenInto(part.bytes, part.ansi, out, part.length);
        out += part.length;
    }
    FitBoxFont(box, whole);
    LocalUnlock(text.Get());
    std::string().swap(report);
    std::string().swap(errors);
    std::string().swap(notes);
    UniqueLocalMemory<void> previous(
        reinterpret_cast<HLOCAL>(SendMessageW(box, EM_GETHANDLE, 0, 0)));
    SendMessageW(box, EM_SETHANDLE, reinterpret_cast<WPARAM>(text.Release()), 0);
    return true;
}

INT_PTR DialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        resultBox = GetDlgItem(dialog, kResultBoxId);
        PreviousBoxProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(resultBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ResultBoxProc)));
        return 0;
    case WM_DROPFILES:
        return OnDialogDropFiles(dialog, reinterpret_cast<HDROP>(wParam));
    case WM_SETCURSOR:
        return OnSetCursor(lParam);
    default:
        return 0;
    }
}

LRESULT CALLBACK ResultBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DROPFILES:
        // Released here once its paths are read; the handle goes no further.
        OnDropFiles(box, reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_KEYDOWN:
        if (OnKeyDown(box, wParam)) {
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == kCtrlA) {
            // Its key went to select all.
            return 0;
        }
        break;
    default:
        break;
    }
    return CallWindowProcW(PreviousBoxProc, box, message, wParam, lParam);
}

HANDLE PendingDropWork() {
    return ExchangeInProgress();
}

void OnDropWorkDone() {
    ToolAnswer answer = FinishExchange();
    if (!std::exchange(cancelled, false) && resultBox != nullptr) {
        try {
            ShowAnswer(resultBox, std::move(answer));
        } catch (const std::bad_alloc&) {
            ShowNoMemory();
        } catch (const std::length_error&) {
            ShowNoMemory();
        }
    }
    drops.Finish();
    StartNextDrop(resultBox);
}
