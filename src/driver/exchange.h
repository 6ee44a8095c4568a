// One request to the running tool and its answer: the request written, the
// report read up to its marker, and the tool's error text for it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/protocol.h"

// What the report becomes when it could not be read.
inline constexpr std::string_view kErrorReport = "{error}";

// A failed call of an exchange: its label and the system's code.
struct ToolFailure {
    std::string_view label;
    unsigned long code;
};

// One request's outcome.
struct ToolAnswer {
    // The report without its marker, or "{error}" after a failed read.
    std::string report;
    // What the tool wrote on standard error about this request.
    std::string errors;
    // The program's own lines about the request: names it could not send.
    std::string notes;
    // The failed write and read, in order, for the caller to show.
    std::vector<ToolFailure> failures;
    // Too large to show, or no memory to hold it: report and errors dropped.
    bool lost = false;
    // Only the error text could not be held, and was dropped.
    bool errorsLost = false;
};

// Writes the whole text to the tool's input; the failure, if it could not.
std::optional<ToolFailure> WriteToExifTool(std::string_view text);

// One request for the given paths (UTF-8), its report and its errors. Waits
// for the tool: for a thread of its own.
ToolAnswer ExchangeWithExifTool(const std::vector<std::string>& utf8Paths);

// Starts the exchange on a thread of its own, so that the caller's thread
// never waits on the tool; one at a time. The handle is signalled once the
// answer is ready; null when no thread could be made.
HANDLE BeginExchange(std::vector<std::string> utf8Paths);

// The answer of the exchange begun last; waits for it if it is not ready.
ToolAnswer FinishExchange();

// The handle of the exchange begun and not yet finished, or null.
HANDLE ExchangeInProgress();

// The most a report may hold before it is dropped; tests make it small.
size_t SetLargestReport(size_t bytes);
