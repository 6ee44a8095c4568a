#include "ui/file_dialogs.h"

#include <commdlg.h>
#include <cderr.h>

#include <string_view>

#include "common/win_text.h"
#include "report/messages.h"
#include "report/show_error.h"
#include "ui/file_names.h"

namespace {

// Room for the names of thousands of files chosen at once, and for one path
// of any length.
constexpr DWORD kOpenRoom = DWORD{1} << 20;
constexpr DWORD kSaveRoom = 32768;

constexpr wchar_t kSaveTypes[] = L"Text\0*.txt\0All files\0*.*\0";
constexpr wchar_t kOpenTypes[] = L"All files\0*.*\0";

// The process's current folder stays where it was, so that no folder the
// user chose from is held open by it.
constexpr DWORD kCommonFlags =
    OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;

OPENFILENAMEW Request(HWND owner, std::wstring& room, const wchar_t* types, DWORD flags) {
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFilter = types;
    request.nFilterIndex = 1;
    request.lpstrFile = room.data();
    request.nMaxFile = static_cast<DWORD>(room.size());
    request.Flags = kCommonFlags | flags;
    return request;
}

// A dialog that closed without a choice: Cancel, or a failure to show.
void ShowDialogFailure(std::string_view label, DWORD code) {
    if (code == FNERR_BUFFERTOOSMALL) {
        ShowMessage(kTooManyChosenText, kErrorCaption);
    } else if (code != 0) {
        // Its codes are the dialogs' own, which the system has no text for.
        ShowMessage(FormatErrorReport(label, code, std::nullopt), kErrorCaption);
    }
}

} // namespace

std::vector<std::string> ChooseFilesToOpen(HWND owner) {
    std::wstring room(kOpenRoom, L'\0');
    OPENFILENAMEW request =
        Request(owner, room, kOpenTypes, OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST);
    if (!GetOpenFileNameW(&request)) {
        const DWORD code = CommDlgExtendedError();
        ShowDialogFailure(labels::kGetOpenFileName, code);
        return {};
    }
    // One full path, or a folder and names in it: each ends in a zero, the
    // list in a second.
    std::vector<std::string> parts;
    for (size_t at = 0; at < room.size() && room[at] != L'\0';) {
        const size_t end = room.find(L'\0', at);
        parts.push_back(Narrow(std::wstring_view(room).substr(at, end - at)));
        at = end + 1;
    }
    return ChosenPaths(parts);
}

std::optional<std::string> ChooseSaveName(HWND owner, const std::string& name) {
    std::wstring room = Widen(name);
    room.resize(kSaveRoom, L'\0');
    OPENFILENAMEW request = Request(owner, room, kSaveTypes, OFN_OVERWRITEPROMPT);
    request.lpstrDefExt = L"txt";
    if (!GetSaveFileNameW(&request)) {
        const DWORD code = CommDlgExtendedError();
        ShowDialogFailure(labels::kGetSaveFileName, code);
        return std::nullopt;
    }
    return Narrow(room.c_str());
}
