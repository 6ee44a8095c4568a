// The tool's process: its start, its end, and the thread that empties its
// standard error. A session with the tool ends in one of these ways, and
// each leaves no tool running and, once the next start or the stop has
// run, no pipe open:
// - the program closes: the stop lines, 2 s for the tool to end by itself,
//   then the job ends it and all it started; the exchange in progress (a
//   drop the close abandoned) and the drain end on the broken pipes, and
//   the pipes are closed;
// - the tool dies or is killed: the pipes break, so a write or read in
//   progress fails (E08, E09); the next drop starts a new tool;
// - the user cancels a drop: the job ends the tool at once; the exchange
//   ends on the broken pipe, its failure unshown, and the next drop starts
//   a new tool;
// - a start fails: it has said why, and the next drop tries again;
// - the program itself is killed: the system closes the job's last handle,
//   which ends the tool.
// The tool (a launcher of perl) is held by a job of its own. Where jobs do
// not nest (Windows 7) and the program already runs in one, the tool is
// started outside that job if it allows, else ending it ends the processes
// it started too.
#include "driver/tool_process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "common/win_text.h"
#include "driver/exchange.h"
#include "driver/protocol.h"
#include "driver/tool_path.h"
#include "driver/tool_session.h"
#include "report/messages.h"
#include "report/show_error.h"

namespace {

constexpr DWORD kStopPauseMs = 2000;
// A process that is ended is gone in far less.
constexpr DWORD kEndWaitMs = 500;

// Never destroyed: a thread that a stop had to give up on may still use it
// while the process exits.
ToolSession& session = *new ToolSession();
std::atomic<bool> draining{false};
// What the stop lines' writer found; it may outlive a stop that gave up on it.
using StopLineFailures = std::array<std::optional<ToolFailure>, std::size(kStopLines)>;
StopLineFailures& stopLineFailures = *new StopLineFailures();

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

// True when a start step's call succeeded; else its failure is shown. The
// code is read before anything else can call the system.
bool Succeeded(BOOL result, std::string_view label) {
    if (result) {
        return true;
    }
    const DWORD code = GetLastError();
    ShowError(label, code);
    return false;
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
    while (draining.load() &&
           ReadFile(drain->pipe, buffer, sizeof buffer, &read, nullptr) == TRUE) {
        drain->errors->Append(std::string_view(buffer, read), LargestReport());
    }
    drain->errors->End();
    return 0;
}

void StartDrain() {
    draining.store(true);
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

// Where jobs do not nest, a job of the tool's own needs the tool started
// outside the job the program runs in, when that job allows.
DWORD BreakawayFromOuterJob() {
    BOOL inJob = FALSE;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION outer{};
    if (!IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) || !inJob ||
        !QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &outer,
                                   sizeof(outer), nullptr)) {
        return 0;
    }
    return (outer.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_BREAKAWAY_OK) != 0
               ? CREATE_BREAKAWAY_FROM_JOB
               : 0;
}

ULONGLONG CreationTime(HANDLE process) {
    FILETIME created{};
    FILETIME unused[3]{};
    if (!GetProcessTimes(process, &created, &unused[0], &unused[1], &unused[2])) {
        return 0;
    }
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Adds to `tree` each process whose parent is in it and that is not in it yet.
void AddProcessesStartedUnder(std::vector<DWORD>& tree) {
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return;
    }
    std::vector<std::pair<DWORD, DWORD>> parents;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        parents.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    }
    for (size_t next = 0; next < tree.size(); ++next) {
        for (const auto& [child, parent] : parents) {
            if (parent == tree[next] && std::find(tree.begin(), tree.end(), child) == tree.end()) {
                tree.push_back(child);
            }
        }
    }
}

// Ends, as a job would, each process that the tool (already ended) started,
// or one of those, after the tool itself started.
void EndProcessesStartedBy(HANDLE tool) {
    const DWORD root = GetProcessId(tool);
    const ULONGLONG rootCreated = CreationTime(tool);
    if (root == 0) {
        return;
    }
    // One may be starting another (Wine's console host, which inherits the
    // pipes) as it is ended: look again until a look finds nothing new.
    // Called where nothing may be thrown: without memory for the whole list,
    // those found so far are ended.
    std::vector<DWORD> tree;
    size_t ended = 1;
    bool lookAgain = true;
    for (int look = 0; lookAgain && look < 10; ++look) {
        try {
            if (tree.empty()) {
                tree.push_back(root);
            }
            AddProcessesStartedUnder(tree);
        } catch (const std::bad_alloc&) {
            lookAgain = false;
        }
        if (ended >= tree.size()) {
            return;
        }
        for (; ended < tree.size(); ++ended) {
            UniqueHandle process(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                                             FALSE, tree[ended]));
            // A number the system gave again to a process started earlier is not the tool's.
            if (process && CreationTime(process.Get()) >= rootCreated) {
                TerminateProcess(process.Get(), 1);
            }
        }
    }
}

// Waits for a thread on the tool's pipes to end; one that will not is left
// to the end of the process.
bool EndThread(UniqueHandle& thread) {
    if (thread && !AwaitPipeThread(thread.Get(), thread.Get())) {
        thread.Release();
        return false;
    }
    thread.Reset();
    return true;
}

// Ends the tool's session: the tool, the threads on its pipes, the pipes.
void TakeDown() {
    EndExifTool();
    draining.store(false);
    const bool exchangeEnded = EndExchange();
    const bool drainEnded = EndThread(session.StdErrDrain);
    // Never close a handle that a thread still blocks on.
    if (!exchangeEnded) {
        session.StdInWr.Release();
        session.StdOutRd.Release();
    }
    if (!drainEnded) {
        session.StdErrRd.Release();
    }
    for (UniqueHandle* handle :
         {&session.StdInRd, &session.StdInWr, &session.StdOutRd, &session.StdOutWr,
          &session.StdErrRd, &session.StdErrWr, &session.Process, &session.Job}) {
        handle->Reset();
    }
    session.Errors.reset();
    session.Broken.store(false);
}

DWORD WINAPI WriteStopLines(void*) {
    std::lock_guard<std::mutex> writing(session.Input);
    for (size_t i = 0; i < std::size(kStopLines); ++i) {
        stopLineFailures[i] = WriteToExifTool(kStopLines[i]);
    }
    return 0;
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

} // namespace

ToolSession& Session() {
    return session;
}

bool AwaitPipeThread(HANDLE signal, HANDLE thread) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (WaitForSingleObject(signal, 50) == WAIT_OBJECT_0) {
            return true;
        }
        CancelSynchronousIo(thread);
    }
    return false;
}

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
    session.ToolPath = toolPath;
    if (!ToolExists(toolPath)) {
        ShowMessage(kMissingToolText, kMissingToolCaption);
        return 0;
    }

    ToolSession& s = session;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const bool piped = Succeeded(CreatePipe(s.StdInRd.Put(), s.StdInWr.Put(), &inheritable, 0),
                                 labels::kStdInCreatePipe) &&
                       Succeeded(SetHandleInformation(s.StdInWr.Get(), HANDLE_FLAG_INHERIT, 0),
                                 labels::kStdInSetHandleInformation) &&
                       Succeeded(CreatePipe(s.StdOutRd.Put(), s.StdOutWr.Put(), &inheritable, 0),
                                 labels::kStdOutCreatePipe) &&
                       Succeeded(SetHandleInformation(s.StdOutRd.Get(), HANDLE_FLAG_INHERIT, 0),
                                 labels::kStdOutSetHandleInformation) &&
                       Succeeded(CreatePipe(s.StdErrRd.Put(), s.StdErrWr.Put(), &inheritable, 0),
                                 labels::kStdErrCreatePipe) &&
                       Succeeded(SetHandleInformation(s.StdErrRd.Get(), HANDLE_FLAG_INHERIT, 0),
                                 labels::kStdErrSetHandleInformation);
    if (!piped) {
        return 0;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = s.StdInRd.Get();
    startup.hStdOutput = s.StdOutWr.Get();
    startup.hStdError = s.StdErrWr.Get();

    const std::wstring application = LaunchablePath(toolPath);
    std::wstring commandLine = Widen(ToolCommandLine(toolPath));
    PROCESS_INFORMATION started{};
    // Suspended until it is in its job, so that nothing it starts escapes.
    const DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED | BreakawayFromOuterJob();
    if (!Succeeded(CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                  flags, nullptr, nullptr, &startup, &started),
                   labels::kCreateProcess)) {
        return 0;
    }
    s.Process.Reset(started.hProcess);
    s.Broken.store(false);
    UniqueHandle thread(started.hThread);

    // Only the tool may hold its ends now, so that its end breaks our pipes.
    s.StdInRd.Reset();
    s.StdOutWr.Reset();
    s.StdErrWr.Reset();

    s.Job = MakeToolJob();
    if (s.Job && !AssignProcessToJobObject(s.Job.Get(), s.Process.Get())) {
        // Runs as it would without a job.
        s.Job.Reset();
    }
    if (ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
        const DWORD code = GetLastError();
        TerminateProcess(s.Process.Get(), 1);
        ShowError(labels::kCreateProcess, code);
        return 0;
    }
    StartDrain();
    return 1;
}

bool ExifToolRunning() {
    return session.Process && !session.Broken.load() &&
           WaitForSingleObject(session.Process.Get(), 0) == WAIT_TIMEOUT;
}

int RestartExifToolIfEnded() {
    if (ExifToolRunning()) {
        return 1;
    }
    TakeDown();
    const std::string toolPath = session.ToolPath;
    return StartExifToolAt(toolPath);
}

void EndExifTool() {
    session.Broken.store(true);
    if (session.Job) {
        TerminateJobObject(session.Job.Get(), 1);
    }
    if (session.Process) {
        TerminateProcess(session.Process.Get(), 1);
        if (!session.Job) {
            // Once it is gone, it starts nothing more.
            WaitForSingleObject(session.Process.Get(), kEndWaitMs);
            EndProcessesStartedBy(session.Process.Get());
        }
    }
}

void StopExifTool() {
    if (ExifToolRunning()) {
        // Written beside the pause: a tool that no longer reads, its pipe
        // full, holds the close no longer than the pause.
        stopLineFailures = StopLineFailures();
        UniqueHandle writer(CreateThread(nullptr, 0, WriteStopLines, nullptr, 0, nullptr));
        if (!writer) {
            WriteStopLines(nullptr);
        }
        Sleep(kStopPauseMs);
        const bool written = !writer || WaitForSingleObject(writer.Get(), 0) == WAIT_OBJECT_0;
        EndExifTool();
        EndThread(writer);
        for (const std::optional<ToolFailure>& failure : stopLineFailures) {
            if (written && failure) {
                ShowError(failure->label, failure->code);
            }
        }
    }
    TakeDown();
}
