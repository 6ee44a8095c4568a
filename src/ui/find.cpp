#include "ui/find.h"

#include <commdlg.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "common/win_text.h"
#include "report/messages.h"
#include "ui/held_box_text.h"
#include "ui/text_search.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 is wchar_t here");

constexpr WORD kFindWhatLength = 512;

UINT findNotice = 0;
HWND mainDialog = nullptr;
HWND resultBox = nullptr;
HWND findDialog = nullptr;
// The dialog reads and writes these while it is open.
wchar_t findWhat[kFindWhatLength] = {};
FINDREPLACEW findRequest{};
// The last search, for F3 and the dialog's next start.
std::wstring lastWhat;
DWORD lastFlags = FR_DOWN;

// Windows' own case folding, the one its ordinal comparisons ignore case
// by, for each UTF-16 unit; made at the first search.
const char16_t* FoldTable() {
    static const std::vector<char16_t> table = [] {
        std::vector<wchar_t> units(65536);
        for (size_t c = 0; c < units.size(); ++c) {
            units[c] = static_cast<wchar_t>(c);
        }
        std::vector<wchar_t> folded(units);
        // Lone surrogates have no case; the rest is mapped in two runs.
        for (const auto& [from, to] : {std::pair<int, int>{1, 0xD800}, {0xE000, 0x10000}}) {
            LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units.data() + from, to - from,
                          folded.data() + from, to - from, nullptr, nullptr, 0);
        }
        return std::vector<char16_t>(folded.begin(), folded.end());
    }();
    return table.data();
}

bool IsWordCharacter(char16_t c) {
    return c == u'_' || IsCharAlphaNumericW(static_cast<wchar_t>(c));
}

TextRange Selection(HWND box) {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

// What "Find what" starts with: the box's selection when it is one line,
// else the last text searched for.
std::wstring StartingText() {
    const TextRange selection = Selection(resultBox);
    if (selection.end > selection.start && selection.end - selection.start < kFindWhatLength) {
        const HeldBoxText held(resultBox);
        const std::u16string_view text = held.Text();
        if (selection.end <= text.size()) {
            const std::u16string_view selected =
                text.substr(selection.start, selection.end - selection.start);
            if (selected.find_first_of(u"\r\n") == std::u16string_view::npos) {
                return std::wstring(selected.begin(), selected.end());
            }
        }
    }
    return lastWhat;
}

void OpenFind() {
    if (findDialog != nullptr) {
        SetActiveWindow(findDialog);
        return;
    }
    const std::wstring start = StartingText().substr(0, kFindWhatLength - 1);
    std::fill(std::begin(findWhat), std::end(findWhat), L'\0');
    std::copy(start.begin(), start.end(), findWhat);
    findRequest = FINDREPLACEW{};
    findRequest.lStructSize = sizeof(findRequest);
    findRequest.hwndOwner = mainDialog;
    findRequest.Flags = lastFlags & (FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD);
    findRequest.lpstrFindWhat = findWhat;
    findRequest.wFindWhatLen = kFindWhatLength;
    findDialog = FindTextW(&findRequest);
}

// Finds the last text again; a box owned by `owner` says when it is not there.
void FindAgain(bool down, HWND owner) {
    if (FindInBox(resultBox, lastWhat, down, (lastFlags & FR_MATCHCASE) != 0,
                  (lastFlags & FR_WHOLEWORD) != 0)) {
        return;
    }
    MessageBoxW(owner, Widen(NotFoundText(Narrow(lastWhat))).c_str(), Widen(kFindCaption).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

bool ControlHeld() {
    return GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
}

} // namespace

void SetUpFind(HWND dialog, HWND box) {
    mainDialog = dialog;
    resultBox = box;
    findNotice = RegisterWindowMessageW(FINDMSGSTRINGW);
}

bool IsFindNotice(UINT message) {
    return findNotice != 0 && message == findNotice;
}

INT_PTR OnFindNotice(LPARAM lParam) {
    const auto* request = reinterpret_cast<const FINDREPLACEW*>(lParam);
    if ((request->Flags & FR_DIALOGTERM) != 0) {
        findDialog = nullptr;
        SetFocus(resultBox);
    } else if ((request->Flags & FR_FINDNEXT) != 0) {
        // Nothing may leave a window procedure: without memory, no search.
        try {
            lastWhat = request->lpstrFindWhat;
            lastFlags = request->Flags;
            FindAgain((lastFlags & FR_DOWN) != 0, findDialog);
        } catch (const std::exception&) {
        }
    }
    return TRUE;
}

bool OnFindKey(WPARAM key) {
    const bool find = key == 'F' && ControlHeld();
    if (!find && key != VK_F3) {
        return false;
    }
    try {
        if (find || lastWhat.empty()) {
            OpenFind();
        } else {
            FindAgain(GetKeyState(VK_SHIFT) >= 0, findDialog != nullptr ? findDialog : mainDialog);
        }
    } catch (const std::exception&) {
        // Nothing may leave a window procedure: without memory, no search.
    }
    return true;
}

bool IsFindDialogMessage(MSG* message) {
    if (findDialog == nullptr) {
        return false;
    }
    if (message->message == WM_KEYDOWN &&
        (message->hwnd == findDialog || IsChild(findDialog, message->hwnd)) &&
        OnFindKey(message->wParam)) {
        return true;
    }
    return IsDialogMessageW(findDialog, message) != FALSE;
}

bool FindInBox(HWND box, const std::wstring& what, bool down, bool matchCase, bool wholeWord) {
    const TextRange selection = Selection(box);
    const SearchRequest request{
        std::u16string_view(reinterpret_cast<const char16_t*>(what.data()), what.size()), down,
        matchCase, wholeWord};
    std::optional<TextRange> found;
    {
        const HeldBoxText held(box);
        found = SearchText(held.Text(), selection, request, {FoldTable(), IsWordCharacter});
    }
    if (!found) {
        return false;
    }
    SendMessageW(box, EM_SETSEL, found->start, found->end);
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
    return true;
}
