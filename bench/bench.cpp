// Measures the program's work against the fastest thing that does the same
// work, side by side in one run, and prints a table of medians and ratios.
//
//   bench <exiftool.exe> <stand-in.exe> <metadrop.exe> <bare_dialog.exe> <work folder>
//   bench --memory <stand-in.exe>        peak working set of one 64 MiB report
//   bench --soak <exiftool.exe> <work folder> <drops>
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/win_text.h"
#include "driver/exiftool.h"
#include "driver/protocol.h"
#include "driver/tool_path.h"
#include "ui/dialog_template.h"
#include "ui/drop_handler.h"
#include "ui/main_window.h"

namespace {

constexpr size_t kMiB = 1024 * 1024;

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs the two alternately, so that both see the same machine, and gives
// the median time of each in seconds.
std::pair<double, double> SideBySide(int rounds, const std::function<void()>& ours,
                                     const std::function<void()>& reference) {
    std::vector<double> a;
    std::vector<double> b;
    for (int i = 0; i < rounds; ++i) {
        double start = Now();
        ours();
        a.push_back(Now() - start);
        start = Now();
        reference();
        b.push_back(Now() - start);
    }
    return {Median(a), Median(b)};
}

void Row(const std::string& what, double ours, double reference, const std::string& note) {
    std::printf("| %s | %.2f ms | %.2f ms | %.2f | %s |\n", what.c_str(), ours * 1000,
                reference * 1000, ours / reference, note.c_str());
    std::fflush(stdout);
}

// A bare stay-open client: one process, two pipes, one write per request and
// a plain end-of-text test. The reference for what the program adds.
class MinimalClient {
  public:
    explicit MinimalClient(const std::string& tool) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        UniqueHandle inRead;
        UniqueHandle outWrite;
        CreatePipe(inRead.Put(), in_.Put(), &inherit, 0);
        CreatePipe(out_.Put(), outWrite.Put(), &inherit, 0);
        SetHandleInformation(in_.Get(), HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(out_.Get(), HANDLE_FLAG_INHERIT, 0);
        UniqueHandle nul(
            CreateFileW(L"NUL", GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr));
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = inRead.Get();
        startup.hStdOutput = outWrite.Get();
        startup.hStdError = nul.Get();
        std::wstring line = Widen(ToolCommandLine(tool));
        PROCESS_INFORMATION started{};
        CreateProcessW(Widen(tool).c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &started);
        process_.Reset(started.hProcess);
        UniqueHandle thread(started.hThread);
    }
    ~MinimalClient() {
        Send("-stay_open\r\nFalse\r\n");
        WaitForSingleObject(process_.Get(), 5000);
    }
    MinimalClient(const MinimalClient&) = delete;
    MinimalClient& operator=(const MinimalClient&) = delete;

    void Send(const std::string& text) {
        DWORD written = 0;
        WriteFile(in_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    // With `framed`, the tool also marks the end of its errors, as the
    // program has it do.
    std::string Request(const std::vector<std::string>& paths, bool framed = false) {
        std::string request = "-charset\r\nfilename=utf8\r\n";
        for (const std::string& path : paths) {
            request += path + "\r\n";
        }
        if (framed) {
            request += "-echo4\r\n{ready1}\r\n";
        }
        request += "-execute1\r\n";
        Send(request);
        const std::string marker = "{ready1}\r\n";
        std::string report;
        std::vector<char> buffer(32768);
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(out_.Get(), buffer.data(), 32768, &read, nullptr)) {
                return report;
            }
            report.append(buffer.data(), read);
            if (report.size() >= marker.size() &&
                report.compare(report.size() - marker.size(), marker.size(), marker) == 0) {
                report.resize(report.size() - marker.size());
                return report;
            }
        }
    }

    // Reads a known number of bytes with no look at their content.
    size_t ReadBytes(size_t count) {
        std::vector<char> buffer(32768);
        size_t total = 0;
        while (total < count) {
            DWORD read = 0;
            if (!ReadFile(out_.Get(), buffer.data(), 32768, &read, nullptr)) {
                break;
            }
            total += read;
        }
        return total;
    }

  private:
    UniqueHandle in_;
    UniqueHandle out_;
    UniqueHandle process_;
};

// Runs the tool once for one drop's files, as one would without the program.
void OneProcessPerDrop(const std::string& tool, const std::string& argFile) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle outRead;
    UniqueHandle outWrite;
    CreatePipe(outRead.Put(), outWrite.Put(), &inherit, 0);
    SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outWrite.Get();
    startup.hStdError = outWrite.Get();
    std::wstring line = Widen("\"" + tool + "\" -@ \"" + argFile + "\"");
    PROCESS_INFORMATION started{};
    CreateProcessW(Widen(tool).c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                   nullptr, nullptr, &startup, &started);
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    outWrite.Reset();
    std::vector<char> buffer(32768);
    DWORD read = 0;
    while (ReadFile(outRead.Get(), buffer.data(), 32768, &read, nullptr)) {
    }
    WaitForSingleObject(process.Get(), INFINITE);
}

// A drop as the shell makes one: DROPFILES and the wide paths behind it.
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

// The program's window, driven the way the shell drives it.
class Window {
  public:
    Window() : dialog_(CreateMainDialog(GetModuleHandleW(nullptr))), font_(PutResultFont(dialog_)) {
        DialogCallback(dialog_, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog_), 0);
        ShowWindow(dialog_, SW_SHOW);
        box_ = GetDlgItem(dialog_, kResultBoxId);
    }
    ~Window() { DestroyWindow(dialog_); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void Drop(const std::vector<std::string>& paths) {
        SendMessageW(box_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    }
    size_t TextLength() const { return static_cast<size_t>(GetWindowTextLengthW(box_)); }
    HWND Box() const { return box_; }

  private:
    HWND dialog_;
    UniqueFont font_;
    HWND box_ = nullptr;
};

const unsigned char kTinyPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

void WriteFileBytes(const std::string& path, const void* bytes, size_t size) {
    UniqueHandle file(
        CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes, static_cast<DWORD>(size), &written, nullptr);
}

std::vector<std::string> MakeImages(const std::string& folder, size_t count) {
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    std::vector<std::string> paths;
    for (size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\img%04zu.png", i);
        paths.push_back(folder + name);
        WriteFileBytes(paths.back(), kTinyPng, sizeof kTinyPng);
    }
    return paths;
}

std::string ArgFile(const std::string& folder, const std::vector<std::string>& paths) {
    std::string text = "-charset\r\nfilename=utf8\r\n";
    for (const std::string& path : paths) {
        text += path + "\r\n";
    }
    const std::string file = folder + "\\args.txt";
    WriteFileBytes(file, text.data(), text.size());
    return file;
}

PROCESS_MEMORY_COUNTERS MemoryCounters() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
}

size_t PeakWorkingSet() {
    return MemoryCounters().PeakWorkingSetSize;
}

size_t WorkingSet() {
    return MemoryCounters().WorkingSetSize;
}

// Median time to put a report into an emptied box.
double ShowTime(HWND box, const std::string& report, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        ShowReport(box, "");
        const double start = Now();
        ShowReport(box, report);
        times.push_back(Now() - start);
    }
    return Median(times);
}

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

void DropToReport(const std::string& tool, const std::string& work) {
    std::printf("\n| drop to report | program | minimal client | ratio | note |\n");
    std::printf("|---|---|---|---|---|\n");
    StartExifToolAt(tool);
    Window window;
    MinimalClient client(tool);
    for (size_t count : {size_t{1}, size_t{100}, size_t{1000}}) {
        const std::vector<std::string> paths =
            MakeImages(work + "\\files" + std::to_string(count), count);
        window.Drop(paths); // warms the tool's caches for both
        client.Request(paths);
        const int rounds = count == 1000 ? 5 : 15;
        const auto [ours, reference] = SideBySide(
            rounds, [&] { window.Drop(paths); }, [&] { client.Request(paths); });
        // How much of the difference is the box laying out the report.
        const std::string report = client.Request(paths);
        char note[128];
        std::snprintf(
            note, sizeof note, "difference %.2f ms, of which %.2f ms the box showing %zu bytes",
            (ours - reference) * 1000, ShowTime(window.Box(), report, 5) * 1000, report.size());
        Row(std::to_string(count) + " files", ours, reference, note);
    }
    StopExifTool();
}

// What marking the end of a request's errors costs the tool, apart from
// anything else the program does.
void ErrorFraming(const std::string& tool, const std::string& work) {
    std::printf("\n| error framing | with -echo4 | without | ratio | note |\n");
    std::printf("|---|---|---|---|---|\n");
    MinimalClient client(tool);
    for (size_t count : {size_t{1}, size_t{1000}}) {
        const std::vector<std::string> paths =
            MakeImages(work + "\\files" + std::to_string(count), count);
        client.Request(paths);
        const auto [framed, plain] = SideBySide(
            count == 1000 ? 7 : 41, [&] { client.Request(paths, true); },
            [&] { client.Request(paths); });
        Row(std::to_string(count) + " files", framed, plain, "minimal client, same requests");
    }
}

void AgainstProcessPerDrop(const std::string& tool, const std::string& work) {
    std::printf("\n| one tool process per drop | process per drop | program | times faster | "
                "note |\n");
    std::printf("|---|---|---|---|---|\n");
    StartExifToolAt(tool);
    Window window;
    for (size_t count : {size_t{1}, size_t{100}, size_t{1000}}) {
        const std::string folder = work + "\\files" + std::to_string(count);
        const std::vector<std::string> paths = MakeImages(folder, count);
        const std::string argFile = ArgFile(folder, paths);
        window.Drop(paths);
        const int rounds = count == 1000 ? 3 : 7;
        const auto [perDrop, ours] = SideBySide(
            rounds, [&] { OneProcessPerDrop(tool, argFile); }, [&] { window.Drop(paths); });
        Row(std::to_string(count) + " files", perDrop, ours, "tool started for each drop");
    }
    StopExifTool();
}

void LargeReports(const std::string& standIn) {
    std::printf("\n| large report | program | raw pipe read | ratio | note |\n");
    std::printf("|---|---|---|---|---|\n");
    StartExifToolAt(standIn);
    MinimalClient client(standIn);
    double perMiB1 = 0;
    for (size_t mib : {size_t{1}, size_t{16}, size_t{64}}) {
        const std::string path = "C:\\fake-big-" + std::to_string(mib * kMiB);
        const std::string marker = "{ready1}\r\n";
        const auto [ours, reference] = SideBySide(
            5, [&] { ExchangeWithExifTool({path}); },
            [&] {
                client.Send("-charset\r\nfilename=utf8\r\n" + path + "\r\n-execute1\r\n");
                client.ReadBytes(mib * kMiB + marker.size());
            });
        if (mib == 1) {
            perMiB1 = ours;
        }
        char note[96];
        std::snprintf(note, sizeof note, "%.1f ms per MiB; %.2f x the 1 MiB time per MiB",
                      ours * 1000 / static_cast<double>(mib),
                      ours / static_cast<double>(mib) / perMiB1);
        Row("collect " + std::to_string(mib) + " MiB", ours, reference, note);
    }
    StopExifTool();
}

void ShowingLargeReports() {
    std::printf("\n| showing a report | time | per MiB | note |\n");
    std::printf("|---|---|---|---|\n");
    Window window;
    for (size_t mib : {size_t{4}, size_t{16}}) {
        std::string report;
        report.reserve(mib * kMiB);
        for (size_t line = 0; report.size() < mib * kMiB; ++line) {
            report += "Tag " + std::to_string(line) + "                  : value of the tag\r\n";
        }
        report.resize(mib * kMiB);
        const double t = ShowTime(window.Box(), report, 3);
        std::printf("| %zu MiB | %.1f ms | %.1f ms | %zu characters in the box |\n", mib, t * 1000,
                    t * 1000 / static_cast<double>(mib), window.TextLength());
        std::fflush(stdout);
    }
}

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

int Memory(const std::string& standIn) {
    StartExifToolAt(standIn);
    Window window;
    ExchangeWithExifTool({"C:\\warm-up"});
    const size_t before = PeakWorkingSet();
    const size_t size = 64 * kMiB;
    std::string report = ExchangeWithExifTool({"C:\\fake-big-" + std::to_string(size)}).report;
    const size_t collected = PeakWorkingSet();
    ShowReport(window.Box(), std::move(report));
    const size_t shown = PeakWorkingSet();
    const auto ratio = [&](size_t peak) {
        return static_cast<double>(peak - before) / static_cast<double>(size);
    };
    std::printf("\n| memory, 64 MiB report | peak working set above the start | ratio to the "
                "report | note |\n");
    std::printf("|---|---|---|---|\n");
    std::printf("| collected | %.1f MiB | %.2f | |\n",
                static_cast<double>(collected - before) / kMiB, ratio(collected));
    std::printf("| collected and shown | %.1f MiB | %.2f | %zu characters in the box |\n",
                static_cast<double>(shown - before) / kMiB, ratio(shown), window.TextLength());
    StopExifTool();
    return 0;
}

int Soak(const std::string& tool, const std::string& work, int drops) {
    StartExifToolAt(tool);
    Window window;
    const std::vector<std::string> paths = MakeImages(work + "\\soak", 10);
    DWORD handlesAt10 = 0;
    size_t memoryAt10 = 0;
    size_t wrong = 0;
    for (int i = 1; i <= drops; ++i) {
        const std::string& path = paths[static_cast<size_t>(i) % paths.size()];
        window.Drop({path});
        std::wstring text(window.TextLength() + 1, L'\0');
        text.resize(static_cast<size_t>(
            GetWindowTextW(window.Box(), text.data(), static_cast<int>(text.size()))));
        const std::string name = path.substr(path.rfind('\\') + 1);
        if (Narrow(text).find(name) == std::string::npos) {
            ++wrong;
        }
        if (i == 10) {
            handlesAt10 = HandleCount();
            memoryAt10 = WorkingSet();
        }
    }
    const DWORD handlesAtEnd = HandleCount();
    std::printf("soak: %d drops, %zu reports not of their own file; working set %.1f MiB after "
                "10, %.1f MiB after the last; ",
                drops, wrong, static_cast<double>(memoryAt10) / kMiB,
                static_cast<double>(WorkingSet()) / kMiB);
    if (handlesAtEnd == 0) {
        std::printf("handle count not reported by this system\n");
    } else {
        std::printf("handles %lu after 10, %lu after the last\n", handlesAt10, handlesAtEnd);
    }
    StopExifTool();
    return wrong == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Narrow(argv[i]));
    }
    if (args.size() == 2 && args[0] == "--memory") {
        return Memory(args[1]);
    }
    if (args.size() == 4 && args[0] == "--soak") {
        return Soak(args[1], args[2], std::stoi(args[3]));
    }
    // --only NAME runs one table: drops, perdrop, large, show or startup.
    std::string only;
    if (args.size() == 7 && args[5] == "--only") {
        only = args[6];
        args.resize(5);
    }
    if (args.size() != 5) {
        std::fputs("usage: bench <exiftool.exe> <stand-in.exe> <metadrop.exe> "
                   "<bare_dialog.exe> <work folder>\n",
                   stderr);
        return 2;
    }
    CreateDirectoryW(Widen(args[4]).c_str(), nullptr);
    const auto wanted = [&](const char* name) { return only.empty() || only == name; };
    if (wanted("drops")) {
        DropToReport(args[0], args[4]);
        ErrorFraming(args[0], args[4]);
    }
    if (wanted("perdrop")) {
        AgainstProcessPerDrop(args[0], args[4]);
    }
    if (wanted("large")) {
        LargeReports(args[1]);
    }
    if (wanted("show")) {
        ShowingLargeReports();
    }
    if (wanted("startup")) {
        StartUp(args[2], args[3], args[0]);
    }
    return 0;
}
