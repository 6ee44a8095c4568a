#include "bench.h"

#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>

#include "common/win_text.h"
#include "driver/tool_path.h"
#include "ui/dialog_template.h"
#include "ui/result_box.h"

namespace {

const unsigned char kTinyPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

PROCESS_MEMORY_COUNTERS MemoryCounters() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
}

} // namespace

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

MinimalClient::MinimalClient(const std::string& tool) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle inRead;
    UniqueHandle outWrite;
    CreatePipe(inRead.Put(), in_.Put(), &inherit, 0);
    CreatePipe(out_.Put(), outWrite.Put(), &inherit, 0);
    SetHandleInformation(in_.Get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_.Get(), HANDLE_FLAG_INHERIT, 0);
    UniqueHandle nul(CreateFileW(L"NUL", GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr));
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
MinimalClient::~MinimalClient() {
    Send("-stay_open\r\nFalse\r\n");
    WaitForSingleObject(process_.Get(), 5000);
}
void MinimalClient::Send(const std::string& text) {
    DWORD written = 0;
    WriteFile(in_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string MinimalClient::Request(const std::vector<std::string>& paths, bool framed) {
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

size_t MinimalClient::ReadBytes(size_t count) {
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

size_t PeakWorkingSet() {
    return MemoryCounters().PeakWorkingSetSize;
}

size_t WorkingSet() {
    return MemoryCounters().WorkingSetSize;
}

// Median time to put a report into an emptied box, piece by piece.
double ShowTime(HWND box, const std::string& report, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        SetWindowTextW(box, L"");
        const double start = Now();
        BeginBoxText(box);
        AddReportText(report);
        while (BoxTextWaiting()) {
            PutNextBoxText();
        }
        EndBoxText();
        times.push_back(Now() - start);
    }
    return Median(times);
}
