#include "driver/exiftool.h"

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <utility>

#include "common/win_text.h"
#include "driver/protocol.h"
#include "driver/tool_path.h"
#include "report/messages.h"
#include "report/show_error.h"

namespace {

constexpr DWORD kReadBufferSize = 32768;
constexpr DWORD kStopPauseMs = 2000;
constexpr std::string_view kErrorReport = "{error}";
// A tool that died, or does not mark the end of its errors, holds a drop no
// longer than this once the report is in.
constexpr std::chrono::milliseconds kErrorWait{2000};
// Pipes take any size; one call is kept well inside a DWORD.
constexpr size_t kLargestWrite = size_t{1} << 30;

ToolSession session;
std::atomic<bool> stopping{false};
size_t largestReport = kLargestReport;
// Only the program's one thread reads reports; nothing to allocate then.
std::array<char, kReadBufferSize> readBuffer;

bool ToolExists(const std::string& toolPath) {
    if (!PassesToolPathRules(toolPath)) {
        return false;
    }
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(FindFirstFileW(Widen(ExtendedLengthPath(toolPath)).c_str(), &found));
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

struct Drain {
    HANDLE pipe;
    std::shared_ptr<ErrorStream> errors;
};

DWORD WINAPI DrainStdErr(void* argument) {
    // Read for the whole run, so that a chatty tool never blocks on a full
    // pipe; each request takes its share.
    const std::unique_ptr<Drain> drain(static_cast<Drain*>(argument));
    char buffer[4096];
    DWORD read = 0;
    while (!stopping.load() &&
           ReadFile(drain->pipe, buffer, sizeof buffer, &read, nullptr) == TRUE) {
        drain->errors->Append(std::string_view(buffer, read));
    }
    drain->errors->End();
    return 0;
}

void StartDrain() {
    stopping.store(false);
    session.Errors = std::make_shared<ErrorStream>();
    auto drain = std::make_unique<Drain>(Drain{session.StdErrRd.Get(), session.Errors});
    session.StdErrDrain.Reset(CreateThread(nullptr, 0, DrainStdErr, drain.get(), 0, nullptr));
    if (session.StdErrDrain) {
        drain.release();
    } else {
        // No one reads: each request's wait for its errors ends at once.
        session.Errors->End();
    }
}

// A job that ends the tool with the program, or an empty handle where the
// system gives none.
UniqueHandle MakeToolJob() {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof(limits))) {
        job.Reset();
    }
    return job;
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
std::wstring LaunchablePath(const std::string& toolPath) {
    std::wstring path = Widen(toolPath);
    if (path.size() < MAX_PATH) {
        return path;
    }
    const std::wstring extended = Widen(ExtendedLengthPath(toolPath));
    std::wstring shortPath(extended.size() + 1, L'\0');
    const DWORD length =
        GetShortPathNameW(extended.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length == 0 || length >= shortPath.size()) {
        // No short form: let CreateProcessW report the long one.
        return path;
    }
    shortPath.resize(length);
    return Widen(WithoutExtendedPrefix(Narrow(shortPath)));
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

    const std::wstring application = LaunchablePath(toolPath);
    std::wstring commandLine = Widen(ToolCommandLine(toolPath));
    PROCESS_INFORMATION started{};
    // Suspended until it is in its job, so that nothing it starts escapes.
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &started)) {
        const DWORD code = GetLastError();
        return StartFailed(labels::kCreateProcess, code);
    }
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);

    // Only the tool may hold its ends now, so that its end breaks our pipes.
    session.StdInRd.Reset();
    session.StdOutWr.Reset();
    session.StdErrWr.Reset();

    session.Job = MakeToolJob();
    if (session.Job && !AssignProcessToJobObject(session.Job.Get(), process.Get())) {
        // Runs as it would without a job.
        session.Job.Reset();
    }
    if (ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
        const DWORD code = GetLastError();
        TerminateProcess(process.Get(), 1);
        return StartFailed(labels::kCreateProcess, code);
    }
    StartDrain();
    return 1;
}

void StopExifTool() {
    for (std::string_view line : kStopLines) {
        WriteToExifTool(line);
    }
    Sleep(kStopPauseMs);
    session.StdInWr.Reset();
    session.StdOutRd.Reset();
    // A tool still running now will not stop by itself.
    session.Job.Reset();
    StopDrain();
    session.StdInRd.Reset();
    session.StdOutWr.Reset();
    session.StdErrRd.Reset();
    session.StdErrWr.Reset();
}

bool WriteToExifTool(std::string_view text) {
    DWORD code = 0;
    const bool whole = WriteWhole(text, kLargestWrite, [&](std::string_view piece) {
        DWORD written = 0;
        if (WriteFile(session.StdInWr.Get(), piece.data(), static_cast<DWORD>(piece.size()),
                      &written, nullptr) != TRUE) {
            code = GetLastError();
            return std::optional<size_t>();
        }
        if (written == 0 && !piece.empty()) {
            // Taking nothing would repeat for ever.
            code = ERROR_WRITE_FAULT;
        }
        return std::optional<size_t>(written);
    });
    if (!whole) {
        ShowError(labels::kWriteFile, code);
    }
    return whole;
}

bool ReadFromExifTool(ReportCollector& collector) {
    for (;;) {
        DWORD read = 0;
        if (ReadFile(session.StdOutRd.Get(), readBuffer.data(), kReadBufferSize, &read, nullptr) !=
            TRUE) {
            const DWORD code = GetLastError();
            ShowError(labels::kReadFile, code);
            return false;
        }
        if (collector.Append(std::string_view(readBuffer.data(), read))) {
            return true;
        }
    }
}

ToolAnswer ExchangeWithExifTool(const std::vector<std::string>& utf8Paths) {
    const std::uint64_t number = NextRequestNumber();
    // All that needs memory before the exchange is made first: a failure
    // then leaves nothing half written or unread.
    const std::string marker = ReadyMarker(number);
    // The whole request in one write: each write wakes the tool, which costs
    // milliseconds a line, and a tool that is gone gives one failure, not
    // one box for every line.
    std::string request;
    for (const std::string& line : RequestLines(utf8Paths, number)) {
        request += line;
    }
    ReportCollector collector(marker, largestReport);
    const std::shared_ptr<ErrorStream> errors = session.Errors;
    ToolAnswer answer;

    WriteToExifTool(request);
    if (ReadFromExifTool(collector)) {
        answer.lost = collector.Lost();
        answer.report = collector.TakeReport();
    } else {
        answer.report = kErrorReport;
    }
    if (errors) {
        ErrorStream::Share share = errors->Take(marker, kErrorWait);
        answer.errors = std::move(share.text);
        answer.lost = answer.lost || share.lost;
    }
    if (answer.lost) {
        answer.report.clear();
        answer.errors.clear();
    }
    return answer;
}

size_t SetLargestReport(size_t bytes) {
    return std::exchange(largestReport, bytes);
}
