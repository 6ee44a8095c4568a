// Process start to a visible window, against the same window with nothing behind it.
#include "bench.h"

#include <cstdio>

#include "common/win_text.h"
#include "driver/tool_process.h"

namespace {

struct VisibleSearch {
    DWORD process;
    HWND found;
};

// The started process's visible top-level window, if it has one yet.
HWND VisibleWindowOf(DWORD process) {
    VisibleSearch search{process, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<VisibleSearch*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->process && IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Start to visible window, then a normal close.
double StartToWindow(const std::string& exe) {
    std::wstring line = Widen("\"" + exe + "\"");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    const double start = Now();
    CreateProcessW(Widen(exe).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                   &startup, &started);
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    HWND window = nullptr;
    while ((window = VisibleWindowOf(started.dwProcessId)) == nullptr && Now() - start < 30) {
        Sleep(1);
    }
    const double elapsed = Now() - start;
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    WaitForSingleObject(process.Get(), 20000);
    return elapsed;
}

double ToolStart(const std::string& tool) {
    const double start = Now();
    StartExifToolAt(tool);
    const double elapsed = Now() - start;
    StopExifTool();
    return elapsed;
}

} // namespace

void StartUp(const std::string& program, const std::string& bare, const std::string& tool) {
    std::printf("\n| start-up | program | bare dialog | ratio | note |\n");
    std::printf("|---|---|---|---|---|\n");
    StartToWindow(program);
    StartToWindow(bare);
    // Only the time to the window counts, not the close that follows it.
    std::vector<double> a;
    std::vector<double> b;
    for (int i = 0; i < 7; ++i) {
        a.push_back(StartToWindow(program));
        b.push_back(StartToWindow(bare));
    }
    const double ours = Median(a);
    const double reference = Median(b);
    std::vector<double> toolStarts;
    for (int i = 0; i < 3; ++i) {
        toolStarts.push_back(ToolStart(tool));
    }
    char note[96];
    std::snprintf(note, sizeof note, "starting the tool takes %.1f ms of it",
                  Median(toolStarts) * 1000);
    Row("process start to visible window", ours, reference, note);
}
