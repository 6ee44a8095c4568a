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
#include "ui/dialog_template.h"
#include "ui/drop_queue.h"
#include "ui/file_dialogs.h"
#include "ui/file_names.h"
#include "ui/find.h"
#include "ui/result_box.h"
#include "ui/safe_write.h"

namespace {

constexpr WPARAM kCtrlA = 0x01;
constexpr WPARAM kCtrlF = 0x06;
constexpr WPARAM kCtrlO = 0x0F;
constexpr WPARAM kCtrlS = 0x13;

WNDPROC PreviousBoxProc = nullptr;
HWND resultBox = nullptr;
DropQueue drops;

// Where the drop being worked on is: its report being read (and shown as it
// comes), or its end shown and the last of its text going into the box.
// While its tool starts, the phase is still idle, but the queue is busy.
enum class Phase { Idle, Reading, Finishing };
Phase phase = Phase::Idle;
// When it began, to tell the keys typed for it from those typed before.
DWORD begunAt = 0;
// It was cancelled: the rest of its answer goes unshown.
bool cancelled = false;
// Memory ran out for its text: the box keeps what it got.
bool lost = false;
// Its exchange's end, taken and waiting for the report's text to be in; and
// that the tool has answered all of it.
std::optional<ExchangeEnd> exchangeEnd;
bool answered = false;
// Its first path, and that of the drop whose text the box shows, after
// which Save As names the file.
std::string dropFirst;
std::string shownFirst;

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

void ShowNoMemory(std::string_view text) {
    try {
        ShowMessage(text, kErrorCaption);
    } catch (const std::exception&) {
        // Nothing is left to tell the user with.
    }
}

// The report is all in the box: the failed calls, then what follows it.
// What the window no longer shows after it was closed under a box goes
// unsaid.
void EndReading(HWND box) {
    const ExchangeEnd end = std::move(*exchangeEnd);
    exchangeEnd.reset();
    phase = Phase::Finishing;
    if (cancelled) {
        return;
    }
    for (const ToolFailure& failure : end.failures) {
        if (!IsWindow(box)) {
            return;
        }
        ShowError(failure.label, failure.code);
    }
    if (!IsWindow(box)) {
        return;
    }
    EndReportText();
    if (end.lost || BoxTextLost()) {
        lost = true;
        ShowNoMemory(BoxTextShown() ? kReportCutText : kNoMemoryText);
        return;
    }
    std::string notes = end.notes;
    if (end.errorsLost) {
        notes += kErrorTextLostText;
        notes += "\r\n";
    }
    AddFollowingText({end.ReadFailed() ? kErrorReport : std::string_view(), end.errors, notes});
}

// True once the drop is being worked on; false when it is over already.
bool BeginDrop(HWND box, std::vector<std::string> paths) {
    BeginBoxText(box);
    begunAt = GetTickCount();
    cancelled = false;
    lost = false;
    exchangeEnd.reset();
    answered = false;
    dropFirst = paths.empty() ? std::string() : paths.front();
    if (RestartExifToolIfEnded() != 1) {
        // The start has said why.
        AddFollowingText({kErrorReport});
        phase = Phase::Finishing;
        return true;
    }
    if (BeginExchange(std::move(paths)) == nullptr) {
        // The failed call has been shown; the box keeps what it showed.
        EndBoxText();
        return false;
    }
    phase = Phase::Reading;
    return true;
}

void StartNextDrop(HWND box) {
    while (IsWindow(box) && phase == Phase::Idle) {
        bool begun = false;
        // Nothing may leave a window procedure, nor the window's loop.
        try {
            std::optional<std::vector<std::string>> paths = drops.Begin();
            if (!paths) {
                break;
            }
            begun = BeginDrop(box, std::move(*paths));
        } catch (const std::bad_alloc&) {
            ShowNoMemory(kNoMemoryText);
        } catch (const std::length_error&) {
            ShowNoMemory(kNoMemoryText);
        }
        if (begun) {
            break;
        }
        // Over already, or it could not begin: the queue goes on. A drop
        // that comes while a box of the tool's start is up waits: the queue
        // gives none while one is busy.
        if (!drops.Busy()) {
            break;
        }
        EndBoxText();
        drops.Finish();
    }
    RefreshCursor();
}

// Once the drop's text is in the box, Save As is named after the drop.
void NoteShownDrop() {
    if (BoxTextShown()) {
        shownFirst = dropFirst;
    }
}

void FinishDrop(HWND box) {
    if (!lost) {
        FinishBoxText();
    }
    NoteShownDrop();
    EndBoxText();
    phase = Phase::Idle;
    drops.Finish();
    StartNextDrop(box);
}

void OnDropFiles(HWND box, HDROP dropHandle) {
    UniqueDrop drop(dropHandle);
    // Nothing may leave a window procedure.
    try {
        drops.Add(DroppedPaths(drop.Get()));
    } catch (const std::bad_alloc&) {
        ShowNoMemory(kNoMemoryText);
        return;
    } catch (const std::length_error&) {
        ShowNoMemory(kNoMemoryText);
        return;
    }
    drop.Reset();
    StartNextDrop(box);
}

// What has not reached the box goes unshown; what it shows stays, and a
// line says what happened. A tool still at work is ended at once; one that
// has answered is left to the next drop. A key typed before the drop began
// was meant for an earlier one.
bool CancelDrop() {
    // A drop whose tool could not start has only its "{error}" to show.
    const bool working = phase == Phase::Reading || (phase == Phase::Finishing && answered);
    if (!working || cancelled || (answered && !UnshownBoxTextWaiting()) ||
        static_cast<LONG>(static_cast<DWORD>(GetMessageTime()) - begunAt) < 0) {
        return false;
    }
    if (!answered) {
        EndExifTool();
    }
    cancelled = true;
    DropWaitingBoxText();
    try {
        AddFollowingText({std::string(answered ? kShowingStoppedText : kCancelledText) + "\r\n"});
    } catch (const std::exception&) {
        // The box keeps what it shows; nothing may leave a window procedure.
    }
    return true;
}

// Ctrl+O: what is chosen in the Open dialog is a drop.
void OpenFiles(HWND box) {
    std::vector<std::string> chosen = ChooseFilesToOpen(GetParent(box));
    if (!chosen.empty()) {
        drops.Add(std::move(chosen));
        StartNextDrop(box);
    }
}

// Ctrl+S: what the box holds, saved under the name chosen in Save As.
void SaveBox(HWND box) {
    const std::optional<std::string> path =
        ChooseSaveName(GetParent(box), DefaultSaveName(shownFirst));
    if (path) {
        SaveBoxText(box, *path);
    }
}

bool ControlOnly() {
    return GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
}

bool OnKeyDown(HWND box, WPARAM key) {
    switch (key) {
    case VK_ESCAPE:
        // Never the box's: it would close the window, which the window
        // takes as a cancel of whatever drop then runs.
        CancelDrop();
        return true;
    case 'A':
        if (!ControlOnly()) {
            return false;
        }
        // Ctrl+A selects the whole report, for Ctrl+C to copy.
        SendMessageW(box, EM_SETSEL, 0, -1);
        return true;
    case 'O':
    case 'S':
        if (!ControlOnly()) {
            return false;
        }
        // Nothing may leave a window procedure.
        try {
            if (key == 'O') {
                OpenFiles(box);
            } else {
                SaveBox(box);
            }
        } catch (const std::exception&) {
            ShowNoMemory(kNoMemoryForFilesText);
        }
        return true;
    default:
        return OnFindKey(key);
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

// The drop the program was started with begins once the window shows.
INT_PTR OnShowWindow(bool shown) {
    if (shown) {
        StartNextDrop(resultBox);
    }
    return 0;
}

} // namespace

INT_PTR DialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsFindNotice(message)) {
        return OnFindNotice(lParam);
    }
    switch (message) {
    case WM_INITDIALOG:
        resultBox = GetDlgItem(dialog, kResultBoxId);
        PreviousBoxProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(resultBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ResultBoxProc)));
        SetUpFind(dialog, resultBox);
        return 0;
    case WM_DROPFILES:
        return OnDialogDropFiles(dialog, reinterpret_cast<HDROP>(wParam));
    case WM_SETCURSOR:
        return OnSetCursor(lParam);
    case WM_SHOWWINDOW:
        return OnShowWindow(wParam != FALSE);
    case WM_COMMAND:
        // Escape that reaches the window rather than the box.
        return LOWORD(wParam) == IDCANCEL && CancelDrop() ? TRUE : 0;
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
        if (wParam == kCtrlA || wParam == kCtrlF || wParam == kCtrlO || wParam == kCtrlS ||
            wParam == VK_ESCAPE) {
            // Their keys went to select all, Find, Open, Save As and cancel.
            return 0;
        }
        break;
    default:
        break;
    }
    return CallWindowProcW(PreviousBoxProc, box, message, wParam, lParam);
}

void AddFirstDrop(std::vector<std::string> paths) {
    if (!paths.empty()) {
        drops.Add(std::move(paths));
    }
}

HANDLE PendingDropWork() {
    return ExchangeInProgress();
}

void OnDropWorkSignalled() {
    ExchangeOutput output = TakeExchangeOutput();
    if (!cancelled) {
        AddReportText(output.pieces);
    }
    if (output.end) {
        exchangeEnd = std::move(output.end);
        answered = true;
    }
}

bool DropWorkWaiting() {
    return phase == Phase::Finishing || (phase == Phase::Reading && exchangeEnd) ||
           (phase != Phase::Idle && BoxTextWaiting());
}

void DoDropWork() {
    // Nothing may leave the window's loop.
    try {
        if (BoxTextWaiting()) {
            const bool wasShown = BoxTextShown();
            PutNextBoxText();
            if (!wasShown) {
                NoteShownDrop();
            }
        } else if (phase == Phase::Reading && exchangeEnd) {
            EndReading(resultBox);
        } else if (phase == Phase::Finishing) {
            FinishDrop(resultBox);
        }
    } catch (const std::bad_alloc&) {
        ShowNoMemory(kNoMemoryText);
    } catch (const std::length_error&) {
        ShowNoMemory(kNoMemoryText);
    }
}
