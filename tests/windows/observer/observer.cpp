// Looks at and drives a running metadrop from another process, for the
// end-to-end tests. Prints one JSON object per line on stdout; exit code 0
// when the asked-for thing was done or seen, 1 on a timeout, 2 on bad use.
#include <windows.h>
#include <shellapi.h>
#include <psapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kCaption[] = L"Drag and drop file(s) or folder(s) to see any supported meta data";
constexpr int kBoxId = 121;
constexpr int kMessageTextId = 0xFFFF;
// Every cross-process call is bounded: the program's thread blocks while it
// waits on the tool.
constexpr UINT kSendTimeoutMs = 2000;

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), size,
                        nullptr, nullptr);
    return narrow;
}

std::string Json(const std::wstring& wide) {
    std::string out = "\"";
    for (const char c : Utf8(wide)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Hex(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "\"0x%llx\"", value);
    return text;
}

std::string Rect(const RECT& r) {
    char text[96];
    std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return text;
}

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Seconds since 1970 on the same clock as the Unix side's time.time().
double UnixNow() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ULL) / 1e7;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

bool SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               result != nullptr ? result : &ignored) != 0;
}

// WM_GETTEXT, as GetWindowText reads no other process's control.
bool TextOf(HWND window, std::wstring* text) {
    DWORD_PTR length = 0;
    if (!SendBounded(window, WM_GETTEXTLENGTH, 0, 0, &length)) {
        return false;
    }
    std::wstring buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendBounded(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                     &copied)) {
        return false;
    }
    buffer.resize(copied);
    *text = buffer;
    return true;
}

HWND MainWindow() {
    HWND window = FindWindowW(L"#32770", kCaption);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

struct MessageBoxInfo {
    HWND window;
    // False when the box did not answer: a hung program's box is still one.
    bool answered;
    std::wstring caption;
    std::wstring text;
};

// The Find dialog's "Find what" field, and the Open and Save As dialogs'
// "File name" and file types, which no message box has.
constexpr int kFindWhatId = 0x480;
constexpr int kFileNameId = 0x47C;
constexpr int kFileTypeId = 0x470;

BOOL CALLBACK CollectBox(HWND window, LPARAM found) {
    if (!IsWindowVisible(window) || ClassOf(window) != L"#32770" || window == MainWindow() ||
        GetDlgItem(window, kFindWhatId) != nullptr || GetDlgItem(window, kFileNameId) != nullptr) {
        return TRUE;
    }
    MessageBoxInfo info{window, true, {}, {}};
    info.answered = TextOf(window, &info.caption);
    HWND text = GetDlgItem(window, kMessageTextId);
    if (text != nullptr && info.answered) {
        info.answered = TextOf(text, &info.text);
    }
    reinterpret_cast<std::vector<MessageBoxInfo>*>(found)->push_back(info);
    return TRUE;
}

BOOL CALLBACK FindFindDialog(HWND window, LPARAM found) {
    if (IsWindowVisible(window) && ClassOf(window) == L"#32770" &&
        GetDlgItem(window, kFindWhatId) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialog() {
    HWND found = nullptr;
    EnumWindows(FindFindDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<MessageBoxInfo> MessageBoxes() {
    std::vector<MessageBoxInfo> found;
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

void PrintBoxes(const std::vector<MessageBoxInfo>& boxes) {
    for (const MessageBoxInfo& box : boxes) {
        Print("{\"message_box\":" + Hex(reinterpret_cast<UINT_PTR>(box.window)) +
              ",\"caption\":" + (box.answered ? Json(box.caption) : "null") +
              ",\"text\":" + (box.answered ? Json(box.text) : "null") + ",\"owner\":" +
              Hex(reinterpret_cast<UINT_PTR>(GetWindow(box.window, GW_OWNER))) + "}");
    }
}

std::string WindowFacts(HWND window) {
    RECT outer{};
    GetWindowRect(window, &outer);
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return "\"rect\":" + Rect(outer) + ",\"client\":" + Rect(client) +
           ",\"style\":" + Hex(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) +
           ",\"exstyle\":" + Hex(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
}

// Polls `seen` every 20 ms until it holds or `seconds` pass.
template <typename Condition> bool WaitFor(double seconds, Condition seen) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        if (seen()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(20);
    }
}

int Timeout(const char* what) {
    Print(std::string("{\"timeout\":\"") + what + "\"}");
    return 1;
}

int ShowWindowFacts(double seconds) {
    HWND window = nullptr;
    if (!WaitFor(seconds, [&] { return (window = MainWindow()) != nullptr; })) {
        return Timeout("window");
    }
    HWND box = GetDlgItem(window, kBoxId);
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(window, &processId);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(threadId, &gui);
    std::wstring caption;
    TextOf(window, &caption);
    Print("{\"window\":" + Hex(reinterpret_cast<UINT_PTR>(window)) +
          ",\"caption\":" + Json(caption) + "," + WindowFacts(window) +
          ",\"focus_in_box\":" + (box != nullptr && gui.hwndFocus == box ? "true" : "false") + "}");
    if (box != nullptr) {
        Print("{\"box\":" + Hex(reinterpret_cast<UINT_PTR>(box)) + "," + WindowFacts(box) + "}");
    }
    return 0;
}

bool WriteFileUtf8(const wchar_t* path, const std::string& bytes) {
    FILE* file = _wfopen(path, L"wb");
    if (file == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// text OUT [TIMEOUT [NEEDLE]]: the box's text, once it holds NEEDLE (or is
// not empty when NEEDLE is absent and a timeout is given).
int SaveText(const wchar_t* out, double seconds, const wchar_t* needle) {
    std::wstring text;
    const bool waiting = seconds > 0;
    const bool seen = WaitFor(seconds, [&] {
        HWND window = MainWindow();
        HWND box = window != nullptr ? GetDlgItem(window, kBoxId) : nullptr;
        if (box == nullptr || !TextOf(box, &text)) {
            return false;
        }
        if (needle != nullptr) {
            return text.find(needle) != std::wstring::npos;
        }
        return !waiting || !text.empty();
    });
    if (!seen) {
        WriteFileUtf8(out, Utf8(text));
        return Timeout("text");
    }
    if (!WriteFileUtf8(out, Utf8(text))) {
        const int error = errno;
        Print("{\"error\":\"cannot write the text\",\"errno\":" + std::to_string(error) + "}");
        return 2;
    }
    Print("{\"text_length\":" + std::to_string(text.size()) + "}");
    return 0;
}

int WaitBoxes(double seconds, size_t count) {
    std::vector<MessageBoxInfo> boxes;
    if (!WaitFor(seconds, [&] { return (boxes = MessageBoxes()).size() >= count; })) {
        PrintBoxes(boxes);
        return Timeout("message_box");
    }
    PrintBoxes(boxes);
    return 0;
}

// A question, which has no OK button, is waited past.
int PressOk(double seconds) {
    std::vector<MessageBoxInfo> boxes;
    if (!WaitFor(seconds, [&] {
            return !(boxes = MessageBoxes()).empty() &&
                   GetDlgItem(boxes.front().window, IDOK) != nullptr;
        })) {
        return Timeout("message_box");
    }
    HWND ok = GetDlgItem(boxes.front().window, IDOK);
    PrintBoxes({boxes.front()});
    // Posted, as the click ends a modal loop that the send would wait on.
    PostMessageW(ok, BM_CLICK, 0, 0);
    const HWND pressed = boxes.front().window;
    return WaitFor(seconds, [&] { return !IsWindow(pressed) || !IsWindowVisible(pressed); })
               ? 0
               : Timeout("message_box_gone");
}

// find [TIMEOUT]: the Find dialog once it is up: its owner, what "Find
// what" holds, its choices, and whether it is the active window.
int ShowFind(double seconds) {
    HWND dialog = nullptr;
    if (!WaitFor(seconds, [&] { return (dialog = FindDialog()) != nullptr; })) {
        return Timeout("find");
    }
    std::wstring what;
    if (!TextOf(GetDlgItem(dialog, kFindWhatId), &what)) {
        return Timeout("find_text");
    }
    const auto checked = [&](int id) {
        DWORD_PTR state = 0;
        return SendBounded(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, &state) &&
                       state == BST_CHECKED
                   ? "true"
                   : "false";
    };
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
    // The ids of the system's Find dialog: Up, Match whole word, Match case.
    Print("{\"find\":" + Hex(reinterpret_cast<UINT_PTR>(dialog)) +
          ",\"owner_is_main\":" + (GetWindow(dialog, GW_OWNER) == MainWindow() ? "true" : "false") +
          ",\"what\":" + Json(what) + ",\"up\":" + checked(0x420) +
          ",\"whole_word\":" + checked(0x410) + ",\"match_case\":" + checked(0x411) +
          ",\"active\":" + (gui.hwndActive == dialog ? "true" : "false") + "}");
    return 0;
}

// file_dialog [TIMEOUT]: the Open or Save As dialog that the main window
// owns, once it is up: its caption, "File name", the file type chosen and
// how many there are.
int ShowFileDialog(double seconds) {
    HWND dialog = nullptr;
    if (!WaitFor(seconds, [&] {
            dialog = GetLastActivePopup(MainWindow());
            return dialog != nullptr && GetDlgItem(dialog, kFileNameId) != nullptr;
        })) {
        return Timeout("file_dialog");
    }
    HWND types = GetDlgItem(dialog, kFileTypeId);
    std::wstring caption, name, type;
    DWORD_PTR count = 0;
    if (!TextOf(dialog, &caption) || !TextOf(GetDlgItem(dialog, kFileNameId), &name) ||
        !TextOf(types, &type) || !SendBounded(types, CB_GETCOUNT, 0, 0, &count)) {
        return Timeout("file_dialog_text");
    }
    Print("{\"caption\":" + Json(caption) + ",\"name\":" + Json(name) + ",\"type\":" + Json(type) +
          ",\"types\":" + std::to_string(count) + "}");
    return 0;
}

// Says when it is watching, so that a caller can close the window after that
// and learn when it went.
int WaitGone(double seconds) {
    if (MainWindow() != nullptr) {
        Print("{\"watching\":true}");
    }
    if (!WaitFor(seconds, [] { return MainWindow() == nullptr; })) {
        return Timeout("window_gone");
    }
    char line[64];
    std::snprintf(line, sizeof line, "{\"gone_at\":%.3f}", UnixNow());
    Print(line);
    return 0;
}

// post WHAT: a message to the window, posted as the window's own loop gets
// it. WHAT is sc_close, wm_close, idcancel (the dialog manager's Escape),
// box_bottom (the box scrolled to its end), key:VK[:alt] for the box's keys,
// or setting:AREA, WM_SETTINGCHANGE sent as the system sends it.
int Post(const std::wstring& what) {
    HWND window = MainWindow();
    if (window == nullptr) {
        return Timeout("window");
    }
    if (what.rfind(L"setting:", 0) == 0) {
        const auto area = reinterpret_cast<LPARAM>(what.c_str() + 8);
        return SendBounded(window, WM_SETTINGCHANGE, 0, area, nullptr) ? 0 : 2;
    }
    if (what == L"sc_close") {
        return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 2;
    }
    if (what == L"wm_close") {
        return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 2;
    }
    if (what == L"idcancel") {
        return PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0) ? 0 : 2;
    }
    if (what == L"box_bottom") {
        return PostMessageW(GetDlgItem(window, kBoxId), WM_VSCROLL, SB_BOTTOM, 0) ? 0 : 2;
    }
    if (what.rfind(L"key:", 0) == 0) {
        const bool alt = what.size() > 4 && what.find(L":alt") != std::wstring::npos;
        const UINT key = static_cast<UINT>(std::wcstoul(what.c_str() + 4, nullptr, 0));
        HWND box = GetDlgItem(window, kBoxId);
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
        const LPARAM altDown = alt ? (1 << 29) : 0;
        const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
        const UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
        const bool sent = PostMessageW(box, down, key, 1 | scan | altDown) &&
                          PostMessageW(box, up, key, 1 | scan | altDown | (3 << 30));
        return sent ? 0 : 2;
    }
    return 2;
}

// The system's handle table, as GetProcessHandleCount gives 0 under Wine.
struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

long long HandlesOf(DWORD processId) {
    using Query = LONG(WINAPI*)(int, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return -1;
    }
    constexpr int kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status != 0) {
            return -1;
        }
        break;
    }
    const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    long long mine = 0;
    for (ULONG i = 0; i < count; ++i) {
        mine += entries[i].ownerPid == processId ? 1 : 0;
    }
    return mine;
}

// process: the program's pid, handle count and memory, read from outside so
// that a leak shows without the program's help.
int ShowProcess() {
    HWND window = MainWindow();
    if (window == nullptr) {
        return Timeout("window");
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == nullptr) {
        return 2;
    }
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    const bool ok = GetProcessMemoryInfo(process, &memory, sizeof memory);
    CloseHandle(process);
    if (!ok) {
        return 2;
    }
    Print("{\"pid\":" + std::to_string(processId) +
          ",\"table_handles\":" + std::to_string(HandlesOf(processId)) +
          ",\"working_set\":" + std::to_string(memory.WorkingSetSize) +
          ",\"peak_working_set\":" + std::to_string(memory.PeakWorkingSetSize) +
          ",\"pagefile\":" + std::to_string(memory.PagefileUsage) + "}");
    return 0;
}

// lines: the box's selection; where the box draws the first character of its first two lines,
// which gives the line height its font has; its first visible line; where
// it draws its last line that holds text (a report's last line ends in CR
// LF, so the line after it is empty); and its client size.
int ShowLines() {
    HWND window = MainWindow();
    HWND box = window != nullptr ? GetDlgItem(window, kBoxId) : nullptr;
    if (box == nullptr) {
        return Timeout("window");
    }
    DWORD_PTR count = 0;
    DWORD_PTR second = 0;
    DWORD_PTR last = 0;
    DWORD_PTR at0 = 0;
    DWORD_PTR at1 = 0;
    DWORD_PTR atLast = 0;
    DWORD_PTR first = 0;
    DWORD_PTR selection = 0;
    RECT client{};
    if (!SendBounded(box, EM_GETLINECOUNT, 0, 0, &count) ||
        !SendBounded(box, EM_LINEINDEX, 1, 0, &second) ||
        !SendBounded(box, EM_LINEINDEX, count > 1 ? count - 2 : 0, 0, &last) ||
        !SendBounded(box, EM_POSFROMCHAR, 0, 0, &at0) ||
        !SendBounded(box, EM_POSFROMCHAR, second, 0, &at1) ||
        !SendBounded(box, EM_POSFROMCHAR, last, 0, &atLast) ||
        !SendBounded(box, EM_GETFIRSTVISIBLELINE, 0, 0, &first) ||
        // Its result holds both ends while they are under 65536.
        !SendBounded(box, EM_GETSEL, 0, 0, &selection) || !GetClientRect(box, &client)) {
        return 2;
    }
    auto point = [](DWORD_PTR packed) {
        return "[" + std::to_string(static_cast<short>(LOWORD(packed))) + "," +
               std::to_string(static_cast<short>(HIWORD(packed))) + "]";
    };
    Print("{\"line_count\":" + std::to_string(count) + ",\"line1_index\":" +
          std::to_string(static_cast<long long>(static_cast<LONG_PTR>(second))) +
          ",\"line0\":" + point(at0) + ",\"line1\":" + point(at1) +
          ",\"first_visible\":" + std::to_string(first) + ",\"last_line\":" + point(atLast) +
          ",\"box_client\":" + Rect(client) + ",\"selection\":[" +
          std::to_string(LOWORD(selection)) + "," + std::to_string(HIWORD(selection)) + "]}");
    return 0;
}

// answers SECONDS [LENGTH]: asks the window every 50 ms whether it takes
// messages, as the system does to tell a hung window, for SECONDS or until
// its box holds LENGTH characters. Says when it begins; then how long the
// slowest answer took, and when the box's text first changed and when it
// reached LENGTH (Unix times, null when it did not).
int Answers(double seconds, long long length) {
    HWND window = MainWindow();
    HWND box = window != nullptr ? GetDlgItem(window, kBoxId) : nullptr;
    if (box == nullptr) {
        return Timeout("window");
    }
    const auto ask = [](HWND target, UINT message, DWORD_PTR* result) {
        return SendMessageTimeoutW(target, message, 0, 0, SMTO_NORMAL, 5000, result) != 0;
    };
    DWORD_PTR first = 0;
    const bool known = ask(box, WM_GETTEXTLENGTH, &first);
    char line[160];
    std::snprintf(line, sizeof line, "{\"asking\":true,\"at\":%.3f,\"length\":%lld}", UnixNow(),
                  known ? static_cast<long long>(first) : -1LL);
    Print(line);
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    ULONGLONG slowest = 0;
    int asked = 0;
    int unanswered = 0;
    double changedAt = 0;
    double wholeAt = 0;
    DWORD_PTR now = first;
    while (GetTickCount64() < end && IsWindow(window) && wholeAt == 0) {
        const ULONGLONG sent = GetTickCount64();
        DWORD_PTR ignored = 0;
        unanswered += ask(window, WM_NULL, &ignored) ? 0 : 1;
        slowest = std::max(slowest, GetTickCount64() - sent);
        ++asked;
        if (ask(box, WM_GETTEXTLENGTH, &now)) {
            if (changedAt == 0 && (!known || now != first)) {
                changedAt = UnixNow();
            }
            if (length >= 0 && static_cast<long long>(now) >= length) {
                wholeAt = UnixNow();
            }
        }
        Sleep(50);
    }
    const auto time = [](double at) { return at == 0 ? std::string("null") : std::to_string(at); };
    Print("{\"asked\":" + std::to_string(asked) + ",\"unanswered\":" + std::to_string(unanswered) +
          ",\"slowest_ms\":" + std::to_string(slowest) + ",\"changed_at\":" + time(changedAt) +
          ",\"whole_at\":" + time(wholeAt) + ",\"length\":" + std::to_string(now) + "}");
    return 0;
}

int Usage() {
    std::fputs("usage: observer window [TIMEOUT] | text OUT [TIMEOUT [NEEDLE]] |\n"
               "  boxes [TIMEOUT [COUNT]] | ok [TIMEOUT] | gone [TIMEOUT] |\n"
               "  post sc_close|wm_close|idcancel|key:VK[:alt]|setting:AREA | process | lines |\n"
               "  answers SECONDS [LENGTH] | find [TIMEOUT] | file_dialog [TIMEOUT]\n",
               stderr);
    return 2;
}

} // namespace

int main() {
    // Rectangles in screen pixels, as the drag source needs them: Wine 10
    // scales what a process sees of others' windows to its own DPI unless
    // it is aware of each monitor's, where Wine 8 gives pixels either way.
    using SetAwareness = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    const auto aware = reinterpret_cast<SetAwareness>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (aware == nullptr || !aware(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
        SetProcessDPIAware();
    }
    // The wide command line, as main's narrow one loses what the code page
    // cannot hold.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) {
        return Usage();
    }
    const std::wstring command = argv[1];
    auto number = [&](int index, double fallback) {
        return argc > index ? std::wcstod(argv[index], nullptr) : fallback;
    };
    if (command == L"window") {
        return ShowWindowFacts(number(2, 0));
    }
    if (command == L"text" && argc >= 3) {
        return SaveText(argv[2], number(3, 0), argc > 4 ? argv[4] : nullptr);
    }
    if (command == L"boxes") {
        return WaitBoxes(number(2, 0), static_cast<size_t>(number(3, 0)));
    }
    if (command == L"ok") {
        return PressOk(number(2, 5));
    }
    if (command == L"gone") {
        return WaitGone(number(2, 0));
    }
    if (command == L"post" && argc >= 3) {
        return Post(argv[2]);
    }
    if (command == L"process") {
        return ShowProcess();
    }
    if (command == L"lines") {
        return ShowLines();
    }
    if (command == L"find") {
        return ShowFind(number(2, 0));
    }
    if (command == L"file_dialog") {
        return ShowFileDialog(number(2, 0));
    }
    if (command == L"answers") {
        return Answers(number(2, 5), static_cast<long long>(number(3, -1)));
    }
    return Usage();
}
