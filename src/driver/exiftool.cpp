#include "driver/exiftool.h"

#include <atomic>
#include <random>

#include "common/win_text.h"
#include "driver/protocol.h"
#include "driver/tool_path.h"
#include "report/messages.h"
#include "report/show_error.h"

namespace {

constexpr DWORD kReadBufferSize = 32768;
constexpr DWORD kStopPauseMs = 2000;
constexpr std::string_view kErrorReport = "{error}";

ToolSession session;
std::atomic<bool> stopping{false};

bool ToolExists(const std::string& toolPath) {
    if (!PassesToolPathRules(toolPath)) {
        return false;
    }
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(FindFirstFileW(Widen(toolPath).c_str(), &found));
    if (!search) {
        return false;
    }
    constexpr DWORD kVolumeLabel = 0x08;
    return (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | kVolumeLabel)) == 0;
}

// Reports a failed step and gives the start's failure result.
int StartFailed(std::string_view label, DWORD code) {
    ShowError(label, code);
    return 0;
}

DWORD WINAPI DrainStdErr(void* handle) {
    // Standard error is never shown; reading it keeps a chatty tool from
    // blocking on a full pipe.
    char buffer[4096];
    DWORD read = 0;
    while (!stopping.load() &&
           ReadFile(static_cast<HANDLE>(handle), buffer, sizeof buffer, &read, nullptr) == TRUE) {
    }
    return 0;
}

void StopDrain() {
    if (!session.StdErrDrain) {
        return;
    }
    stopping.store(true);
    // A tool that has ended has already broken the pipe; one that is still
    // running holds the drain in its read until that read is cancelled.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (WaitForSingleObject(session.StdErrDrain.Get(), 50) == WAIT_OBJECT_0) {
            session.StdErrDrain.Reset();
            return;
        }
        CancelSynchronousIo(session.StdErrDrain.Get());
    }
    // Still blocked: leave the thread and its handle to the end of the process
    // rather than close a handle it is reading.
    session.StdErrDrain.Release();
    session.StdErrRd.Release();
}

// CreateProcessW runs no program at a path of MAX_PATH or more, not even
// with the \\?\ prefix; the short form of such a path still runs.
std::wstring LaunchablePath(const std::wstring& path) {
    if (path.size() < MAX_PATH) {
        return path;
    }
    std::wstring shortPath(path.size() + 1, L'\0');
    const DWORD length =
        GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length == 0 || length >= shortPath.size()) {
        // No short form: let CreateProcessW report the long one.
        return path;
    }
    shortPath.resize(length);
    return shortPath;
}

std::uint64_t NextRequestNumber() {
    // Unpredictable, so that no file's metadata can carry the marker.
    static std::random_device source;
    std::uniform_int_distribution<std::uint64_t> digits(1, 999999999999999999ULL);
    return digits(source);
}

} // namespace

std::string ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
        if (length == 0) {
            return std::string();
        }
        if (length < size) {
            path.resize(length);
            return Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

int StartExifTool() {
    return StartExifToolAt(ToolPathBeside(ProgramPath()));
}

int StartExifToolAt(const std::string& toolPath) {
    if (!ToolExists(toolPath)) {
        ShowMessage(kMissingToolText, kMissingToolCaption);
        return 0;
    }

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(session.StdInRd.Put(), session.StdInWr.Put(), &inheritable, 0)) {
        const DWORD code = GetLastError();
        return StartFailed(labels::kStdInCreatePipe, code);
    }
    if (!SetHandleInformation(session.StdInWr.Get(), HANDLE_FLAG_INHERIT, 0)) {
        const DWORD code = GetLastError();
        return StartFailed(labels::kStdInSetHandleInformation, code);
    }
    if (!CreatePipe(session.StdOutRd.Put(), session.StdOutWr.Put(), &inheritable, 0)) {
        const DWORD code = GetLastError();
        return StartFailed(labels::kStdOutCreatePipe, code);
    }
    if (!SetHandleInformation(session.StdOutRd.Get(), HANDLE_FLAG_INHERIT, 0)) {
        const DWORD code = GetLastError();
        return StartFailed(labels::kStdOutSetHandleInformation, code);
    }
    if (!CreatePipe(session.StdErrRd.Put(), session.StdErrWr.Put(), &inheritable, 0)) {
        const DWORD code = GetLastError();
        return StartFailed(labels::kStdErrCreatePipe, code);
    }
    if (!SetHandleInformation(session.StdErrRd.Get(), HANDLE_FLAG_INHERIT, 0)) {
        const DWORD code = GetLastError();
        return StartFailed(labels::kStdErrSetHandleInformation, code);
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = session.StdInRd.Get();
    startup.hStdOutput = session.StdOutWr.Get();
    startup.hStdError = session.StdErrWr.Get();

    const std::wstring application = LaunchablePath(Widen(toolPath));
    std::wstring commandLine = Widen(ToolCommandLine(toolPath));
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
        const DWORD code = GetLastError();
        return StartFailed(labels::kCreateProcess, code);
    }
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);

    // Only the tool may hold its ends now, so that its end breaks our pipes.
    session.StdInRd.Reset();
    session.StdOutWr.Reset();
    session.StdErrWr.Reset();

    stopping.store(false);
    session.StdErrDrain.Reset(
        CreateThread(nullptr, 0, DrainStdErr, session.StdErrRd.Get(), 0, nullptr));
    return 1;
}

void StopExifTool() {
    for (std::string_view line : kStopLines) {
        WriteToExifTool(line);
    }
    Sleep(kStopPauseMs);
    session.StdInWr.Reset();
    session.StdOutRd.Reset();
    StopDrain();
    session.StdInRd.Reset();
    session.StdOutWr.Reset();
    session.StdErrRd.Reset();
    session.StdErrWr.Reset();
}

bool WriteToExifTool(std::string_view text) {
    DWORD written = 0;
    if (WriteFile(session.StdInWr.Get(), text.data(), static_cast<DWORD>(text.size()), &written,
                  nullptr) != TRUE) {
        const DWORD code = GetLastError();
        ShowError(labels::kWriteFile, code);
        return false;
    }
    return true;
}

std::string ReadFromExifTool(std::string_view marker) {
    std::vector<char> buffer(kReadBufferSize);
    ReportCollector collector{std::string(marker)};
    for (;;) {
        DWORD read = 0;
        if (ReadFile(session.StdOutRd.Get(), buffer.data(), kReadBufferSize, &read, nullptr) !=
            TRUE) {
            const DWORD code = GetLastError();
            ShowError(labels::kReadFile, code);
            return std::string(kErrorReport);
        }
        if (collector.Append(std::string_view(buffer.data(), read))) {
            return collector.TakeReport();
        }
    }
}

std::string ExchangeWithExifTool(const std::vector<std::string>& utf8Paths) {
    const std::uint64_t number = NextRequestNumber();
    // The whole request in one write: each write wakes the tool, which costs
    // milliseconds a line, and a tool that is gone gives one failure, not
    // one box for every line.
    std::string request;
    for (const std::string& line : RequestLines(utf8Paths, number)) {
        request += line;
    }
    WriteToExifTool(request);
    return ReadFromExifTool(ReadyMarker(number));
}
