// Runs exiftool in stay-open mode as a child process over three pipes.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/win_resources.h"
#include "driver/error_stream.h"
#include "driver/protocol.h"

// The pipes to the running tool. The tool's own ends are closed as soon as
// it has started, so its end shows here as a broken pipe.
struct ToolSession {
    UniqueHandle StdInRd;
    UniqueHandle StdInWr;
    UniqueHandle StdOutRd;
    UniqueHandle StdOutWr;
    UniqueHandle StdErrRd;
    UniqueHandle StdErrWr;
    UniqueHandle StdErrDrain; // the thread that empties standard error
    // Holds the tool, and ends it when the program ends however it ends.
    UniqueHandle Job;
    // What the drain has read and no request has taken yet.
    std::shared_ptr<ErrorStream> Errors;
};

// One request's outcome.
struct ToolAnswer {
    // The report without its marker, or "{error}" after a failed read.
    std::string report;
    // What the tool wrote on standard error about this request.
    std::string errors;
    // Too large to show, or no memory to hold it: report and errors dropped.
    bool lost = false;
};

// Starts the tool found beside the program. 1 on success; 0 after the
// failure has been shown.
int StartExifTool();

// Starts the tool at the given path (UTF-8); the same rules and reports.
int StartExifToolAt(const std::string& toolPath);

// Asks the tool to end, gives it 2 seconds, closes the pipes and ends it if
// it still runs.
void StopExifTool();

// Writes the whole text to the tool's input; false (after the failure has
// been shown once) when it could not be written.
bool WriteToExifTool(std::string_view text);

// Reads into the collector until what it holds ends with its marker on a
// line of its own; false after a failed read has been shown.
bool ReadFromExifTool(ReportCollector& collector);

// One request for the given paths (UTF-8), its report and its errors.
ToolAnswer ExchangeWithExifTool(const std::vector<std::string>& utf8Paths);

// The most a report may hold before it is dropped; tests make it small.
size_t SetLargestReport(size_t bytes);

// The full path of the running program, in UTF-8, at any length.
std::string ProgramPath();
