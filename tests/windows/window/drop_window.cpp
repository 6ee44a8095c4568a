#include "drop_window.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "common/win_text.h"
#include "ui/dialog_template.h"
#include "ui/drop_handler.h"
#include "ui/main_window.h"

namespace {

const BackgroundWork kDropWork{PendingDropWork, OnDropWorkSignalled, DropWorkWaiting, DoDropWork};

} // namespace

HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::wstring list;
    for (const std::string& path : paths) {
        list += Widen(path);
        list += L'\0';
    }
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(list.begin(), list.end(), reinterpret_cast<wchar_t*>(header + 1));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

DropWindow::DropWindow() : dialog_(CreateMainDialog(GetModuleHandleW(nullptr))) {
    SetUpWindowScale(dialog_);
    ShowMainDialog(dialog_, DialogCallback);
    edit_ = GetDlgItem(dialog_, kResultBoxId);
}

DropWindow::~DropWindow() {
    DestroyWindow(dialog_);
}

void DropWindow::Drop(const std::vector<std::string>& paths) {
    PostMessageW(edit_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
}

bool DropWindow::RunUntil(const std::function<bool()>& done, double seconds) {
    // Wakes the loop's wait, so that a wait for nothing still ends.
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    bool held = done();
    while (!held && GetTickCount64() < end && IsWindow(dialog_)) {
        RunLoopOnce(dialog_, kDropWork);
        held = done();
    }
    KillTimer(nullptr, timer);
    return held;
}

bool DropWindow::RunUntilAnswered(double seconds) {
    return RunUntil([] { return PendingDropWork() == nullptr && !DropWorkWaiting(); }, seconds);
}

bool DropWindow::DropAndWait(const std::vector<std::string>& paths, double seconds) {
    Drop(paths);
    // The drop is taken at the loop's first turn.
    RunLoopOnce(dialog_, kDropWork);
    return RunUntilAnswered(seconds);
}

std::wstring DropWindow::Text() const {
    std::wstring text(TextLength() + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(edit_, text.data(), static_cast<int>(text.size()))));
    return text;
}

size_t DropWindow::TextLength() const {
    return static_cast<size_t>(GetWindowTextLengthW(edit_));
}
