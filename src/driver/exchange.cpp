#include "driver/exchange.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <stdexcept>
#include <utility>

#include "driver/tool_session.h"
#include "report/messages.h"
#include "report/show_error.h"

namespace {

constexpr DWORD kReadBufferSize = 32768;
// A tool that died, or does not mark the end of its errors, holds a drop no
// longer than this once the report is in.
constexpr std::chrono::milliseconds kErrorWait{2000};

std::atomic<size_t> largestReport{kLargestReport};

// The thread that runs the exchanges BeginExchange asks for, made at the
// first: a thread made for each would cost milliseconds a drop. Its state is
// never destroyed, so a thread that a stop had to give up on can never
// touch freed memory, even while the process exits.
struct Worker {
    UniqueHandle thread;
    // An exchange waits to be run.
    UniqueHandle requested;
    // Output waits to be taken.
    UniqueHandle output;
    // The running exchange has put its end.
    UniqueHandle ended;
    // Begun and its end not yet taken; the caller's thread alone reads it.
    bool begun = false;
    // The worker alone touches these while it runs an exchange.
    std::vector<std::string> paths;
    // Shared: what the running exchange has handed over and not yet taken.
    std::mutex lock;
    ExchangeOutput pending;
    bool piecesLost = false;
};
Worker* worker = nullptr;

std::uint64_t NextRequestNumber() {
    // Unpredictable, so that no file's metadata can carry the marker.
    static std::random_device source;
    std::uniform_int_distribution<std::uint64_t> digits(1, 999999999999999999ULL);
    return digits(source);
}

// Reads into the stream until it has found its marker; the failure, if a
// read failed.
std::optional<ToolFailure> ReadFromExifTool(ReportStream& stream, std::vector<char>& buffer,
                                            const ReportPieceSink& piece) {
    while (!stream.Complete()) {
        DWORD read = 0;
        if (ReadFile(Session().StdOutRd.Get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                     &read, nullptr) != TRUE) {
            const DWORD code = GetLastError();
            return ToolFailure{labels::kReadFile, code};
        }
        const std::string_view released = stream.Append(std::string_view(buffer.data(), read));
        if (!released.empty()) {
            piece(released);
        }
    }
    return std::nullopt;
}

// Hands a piece over to the caller's thread; one there is no memory for is
// dropped, and the exchange's end says so.
void HandOver(Worker& w, std::string_view piece) {
    {
        std::lock_guard<std::mutex> hold(w.lock);
        if (w.piecesLost) {
            return;
        }
        try {
            w.pending.pieces.append(piece);
        } catch (const std::bad_alloc&) {
            w.piecesLost = true;
            return;
        } catch (const std::length_error&) {
            w.piecesLost = true;
            return;
        }
        SetEvent(w.output.Get());
    }
}

DWORD WINAPI RunExchanges(void* argument) {
    Worker& w = *static_cast<Worker*>(argument);
    while (WaitForSingleObject(w.requested.Get(), INFINITE) == WAIT_OBJECT_0) {
        ExchangeEnd end;
        // Only what is made before the request is written can fail for want
        // of memory, so a failure leaves the tool's streams in step.
        try {
            end =
                ExchangeWithExifTool(w.paths, [&w](std::string_view piece) { HandOver(w, piece); });
        } catch (const std::bad_alloc&) {
            end = ExchangeEnd();
            end.lost = true;
        } catch (const std::length_error&) {
            end = ExchangeEnd();
            end.lost = true;
        }
        std::vector<std::string>().swap(w.paths);
        // Published and signalled as one, under the lock the next begin
        // takes to reset the signals: a signal can never outlive its end.
        std::lock_guard<std::mutex> hold(w.lock);
        end.lost = end.lost || w.piecesLost;
        w.pending.end = std::move(end);
        SetEvent(w.ended.Get());
        SetEvent(w.output.Get());
    }
    return 0;
}

// False once the failed call has been shown.
bool MakeEvent(UniqueHandle& event, BOOL manualReset) {
    event.Reset(CreateEventW(nullptr, manualReset, FALSE, nullptr));
    if (!event) {
        const DWORD code = GetLastError();
        ShowError(labels::kCreateEvent, code);
        return false;
    }
    return true;
}

// A worker whose thread runs, or null when the system could make none; the
// failed call has then been shown.
Worker* StartWorker() {
    auto made = std::make_unique<Worker>();
    if (!MakeEvent(made->requested, FALSE) || !MakeEvent(made->output, TRUE) ||
        !MakeEvent(made->ended, TRUE)) {
        return nullptr;
    }
    made->thread.Reset(CreateThread(nullptr, 0, RunExchanges, made.get(), 0, nullptr));
    if (!made->thread) {
        const DWORD code = GetLastError();
        ShowError(labels::kCreateThread, code);
        return nullptr;
    }
    return made.release();
}

} // namespace

bool ExchangeEnd::ReadFailed() const {
    for (const ToolFailure& failure : failures) {
        if (failure.label == labels::kReadFile) {
            return true;
        }
    }
    return false;
}

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

ExchangeEnd ExchangeWithExifTool(const std::vector<std::string>& utf8Paths,
                                 const ReportPieceSink& piece) {
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
    const size_t largest = largestReport.load();
    ReportStream stream(marker, kReadBufferSize, largest);
    std::vector<char> buffer(kReadBufferSize);
    const std::shared_ptr<ErrorStream> errors = Session().Errors;
    ExchangeEnd end;
    end.notes = LeftOutNotes(utf8Paths);
    end.failures.reserve(2);

    {
        std::lock_guard<std::mutex> writing(Session().Input);
        if (const std::optional<ToolFailure> failure = WriteToExifTool(request)) {
            end.failures.push_back(*failure);
        }
    }
    if (const std::optional<ToolFailure> failure = ReadFromExifTool(stream, buffer, piece)) {
        end.failures.push_back(*failure);
    }
    end.lost = stream.Lost();
    if (!end.failures.empty()) {
        // The next drop starts a new tool, even before this one is gone.
        Session().Broken.store(true);
    }
    if (errors) {
        ErrorStream::Share share = errors->Take(marker, kErrorWait);
        end.errorsLost = share.lost;
        if (!share.lost) {
            end.errors = std::move(share.text);
        }
    }
    if (end.lost) {
        end.errors.clear();
    }
    return end;
}

HANDLE BeginExchange(std::vector<std::string> utf8Paths) {
    if (worker == nullptr) {
        worker = StartWorker();
        if (worker == nullptr) {
            return nullptr;
        }
    }
    Worker& w = *worker;
    w.paths = std::move(utf8Paths);
    {
        std::lock_guard<std::mutex> hold(w.lock);
        w.pending = ExchangeOutput();
        w.piecesLost = false;
        ResetEvent(w.output.Get());
        ResetEvent(w.ended.Get());
    }
    w.begun = true;
    SetEvent(w.requested.Get());
    return w.output.Get();
}

ExchangeOutput TakeExchangeOutput() {
    ExchangeOutput taken;
    if (worker == nullptr || !worker->begun) {
        return taken;
    }
    Worker& w = *worker;
    {
        std::lock_guard<std::mutex> hold(w.lock);
        std::swap(taken, w.pending);
        ResetEvent(w.output.Get());
    }
    if (taken.end) {
        w.begun = false;
    }
    return taken;
}

HANDLE ExchangeInProgress() {
    return worker != nullptr && worker->begun ? worker->output.Get() : nullptr;
}

bool EndExchange() {
    if (worker == nullptr || !worker->begun) {
        return true;
    }
    Worker& w = *worker;
    if (!AwaitPipeThread(w.ended.Get(), w.thread.Get())) {
        // Left to run to the end of the process with its own state; the
        // next drop gets a worker of its own.
        worker = nullptr;
        return false;
    }
    w.begun = false;
    std::lock_guard<std::mutex> hold(w.lock);
    w.pending = ExchangeOutput();
    ResetEvent(w.output.Get());
    return true;
}

size_t SetLargestReport(size_t bytes) {
    return largestReport.exchange(bytes);
}

size_t LargestReport() {
    return largestReport.load();
}
