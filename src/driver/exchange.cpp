#include "driver/exchange.h"

#include <atomic>
#include <chrono>
#include <new>
#include <random>
#include <stdexcept>
#include <utility>

#include "driver/tool_session.h"
#include "report/messages.h"

namespace {

constexpr DWORD kReadBufferSize = 32768;
// A tool that died, or does not mark the end of its errors, holds a drop no
// longer than this once the report is in.
constexpr std::chrono::milliseconds kErrorWait{2000};

std::atomic<size_t> largestReport{kLargestReport};

// The one thread that runs the exchanges BeginExchange asks for, made at
// the first: a thread made for each would cost milliseconds a drop.
struct Worker {
    UniqueHandle thread;
    // An exchange waits to be run.
    UniqueHandle requested;
    // The exchange's answer is ready.
    UniqueHandle done;
    // Begun and not yet finished; the caller's thread alone reads it.
    bool begun = false;
    // Until `done`, the worker alone touches these.
    std::vector<std::string> paths;
    ToolAnswer answer;
};
Worker worker;

std::uint64_t NextRequestNumber() {
    // Unpredictable, so that no file's metadata can carry the marker.
    static std::random_device source;
    std::uniform_int_distribution<std::uint64_t> digits(1, 999999999999999999ULL);
    return digits(source);
}

// Reads into the collector until what it holds ends with its marker on a
// line of its own; the failure, if a read failed.
std::optional<ToolFailure> ReadFromExifTool(ReportCollector& collector, std::vector<char>& buffer) {
    for (;;) {
        DWORD read = 0;
        if (ReadFile(Session().StdOutRd.Get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                     &read, nullptr) != TRUE) {
            const DWORD code = GetLastError();
            return ToolFailure{labels::kReadFile, code};
        }
        if (collector.Append(std::string_view(buffer.data(), read))) {
            return std::nullopt;
        }
    }
}

DWORD WINAPI RunExchanges(void*) {
    while (WaitForSingleObject(worker.requested.Get(), INFINITE) == WAIT_OBJECT_0) {
        // Only what is made before the request is written can fail for want
        // of memory, so a failure leaves the tool's streams in step.
        try {
            worker.answer = ExchangeWithExifTool(worker.paths);
        } catch (const std::bad_alloc&) {
            worker.answer = ToolAnswer();
            worker.answer.lost = true;
        } catch (const std::length_error&) {
            worker.answer = ToolAnswer();
            worker.answer.lost = true;
        }
        SetEvent(worker.done.Get());
    }
    return 0;
}

bool StartWorker() {
    if (worker.thread) {
        return true;
    }
    worker.requested.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    worker.done.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!worker.requested || !worker.done) {
        return false;
    }
    worker.thread.Reset(CreateThread(nullptr, 0, RunExchanges, nullptr, 0, nullptr));
    return worker.thread.Valid();
}

} // namespace

std::optional<ToolFailure> WriteToExifTool(std::string_view text) {
    DWORD code = 0;
    const bool whole = WriteWhole(text, kLargestWrite, [&](std::string_view piece) {
        DWORD written = 0;
        if (WriteFile(Session().StdInWr.Get(), piece.data(), static_cast<DWORD>(piece.size()),
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
    if (whole) {
        return std::nullopt;
    }
    return ToolFailure{labels::kWriteFile, code};
}

ToolAnswer ExchangeWithExifTool(const std::vector<std::string>& utf8Paths) {
    const std::uint64_t number = NextRequestNumber();
    // All that needs memory is made before the request is written: a
    // failure then leaves nothing half written or unread.
    const std::string marker = ReadyMarker(number);
    // The whole request in one write: each write wakes the tool, which costs
    // milliseconds a line, and a tool that is gone gives one failure.
    std::string request;
    for (const std::string& line : RequestLines(utf8Paths, number)) {
        request += line;
    }
    ReportCollector collector(marker, largestReport.load());
    std::vector<char> buffer(kReadBufferSize);
    const std::shared_ptr<ErrorStream> errors = Session().Errors;
    ToolAnswer answer;
    answer.notes = LeftOutNotes(utf8Paths);
    answer.failures.reserve(2);

    if (const std::optional<ToolFailure> failure = WriteToExifTool(request)) {
        answer.failures.push_back(*failure);
    }
    if (const std::optional<ToolFailure> failure = ReadFromExifTool(collector, buffer)) {
        answer.failures.push_back(*failure);
        answer.report = kErrorReport;
    } else {
        answer.lost = collector.Lost();
        answer.report = collector.TakeReport();
    }
    if (!answer.failures.empty()) {
        // The next drop starts a new tool, even before this one is gone.
        Session().Broken.store(true);
    }
    if (errors) {
        ErrorStream::Share share = errors->Take(marker, kErrorWait);
        answer.errorsLost = share.lost;
        if (!share.lost) {
            answer.errors = std::move(share.text);
        }
    }
    if (answer.lost) {
        answer.report.clear();
        answer.errors.clear();
    }
    return answer;
}

HANDLE BeginExchange(std::vector<std::string> utf8Paths) {
    // One still running, after a stop that could not end it, keeps the worker.
    const bool idle = !worker.begun || WaitForSingleObject(worker.done.Get(), 0) == WAIT_OBJECT_0;
    if (!idle || !StartWorker()) {
        return nullptr;
    }
    worker.paths = std::move(utf8Paths);
    worker.answer = ToolAnswer();
    ResetEvent(worker.done.Get());
    worker.begun = true;
    SetEvent(worker.requested.Get());
    return worker.done.Get();
}

ToolAnswer FinishExchange() {
    if (!worker.begun) {
        return ToolAnswer();
    }
    WaitForSingleObject(worker.done.Get(), INFINITE);
    worker.begun = false;
    return std::move(worker.answer);
}

HANDLE ExchangeInProgress() {
    return worker.begun ? worker.done.Get() : nullptr;
}

bool EndExchange() {
    if (!worker.begun) {
        return true;
    }
    if (!AwaitPipeThread(worker.done.Get(), worker.thread.Get())) {
        return false;
    }
    worker.begun = false;
    return true;
}

size_t SetLargestReport(size_t bytes) {
    return largestReport.exchange(bytes);
}
