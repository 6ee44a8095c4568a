// One request to the running tool and its answer: the request written, the
// report read up to its marker and handed on piece by piece as it comes, and
// the tool's error text for it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/protocol.h"

// What the box shows of a report that could not be read to its end.
inline constexpr std::string_view kErrorReport = "{error}";

// A failed call of an exchange: its label and the system's code.
struct ToolFailure {
    std::string_view label;
    unsigned long code;
};

// How an exchange ended, once all of its report's pieces are out.
struct ExchangeEnd {
    // The failed write and read, in order; a failed read cut the report.
    std::vector<ToolFailure> failures;
    // What the tool wrote on standard error about this request.
    std::string errors;
    // The program's own lines about the request: names it could not send.
    std::string notes;
    // Too large to show, or no memory to hold it: the rest of the report
    // after the pieces handed on was dropped, and the errors with it.
    bool lost = false;
    // Only the error text could not be held, and was dropped.
    bool errorsLost = false;

    bool ReadFailed() const;
};

// Writes the whole text to the tool's input; the failure, if it could not.
std::optional<ToolFailure> WriteToExifTool(std::string_view text);

// One request for the given paths (UTF-8) on the calling thread: each piece
// of the report goes to `piece` as soon as it is known to be report, then
// its end is given. Waits for the tool.
using ReportPieceSink = std::function<void(std::string_view piece)>;
ExchangeEnd ExchangeWithExifTool(const std::vector<std::string>& utf8Paths,
                                 const ReportPieceSink& piece);

// What the exchange in progress has handed over since the last take: the
// report's next bytes, in order, and once it is over, its end.
struct ExchangeOutput {
    std::string pieces;
    std::optional<ExchangeEnd> end;
};

// Starts the exchange on a thread of its own, so that the caller's thread
// never waits on the tool. The handle is signalled while output waits to be
// taken; null when the system could make no thread for it, which has then
// been shown. One runs at a time: the caller begins the next only once it
// has taken the end of the last (or a stop has given up on it).
HANDLE BeginExchange(std::vector<std::string> utf8Paths);

// Takes what the exchange in progress has handed over; never waits. Once
// its end has been taken, no exchange is in progress.
ExchangeOutput TakeExchangeOutput();

// The handle of the exchange begun and whose end is not taken yet, or null.
HANDLE ExchangeInProgress();

// The most a report or its error text may hold before the rest is dropped;
// tests make it small.
size_t SetLargestReport(size_t bytes);
size_t LargestReport();
