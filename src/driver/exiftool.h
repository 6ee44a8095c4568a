// Runs exiftool in stay-open mode as a child process over three pipes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/win_resources.h"

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
};

// Starts the tool found beside the program. 1 on success; 0 after the
// failure has been shown.
int StartExifTool();

// Starts the tool at the given path (UTF-8); the same rules and reports.
int StartExifToolAt(const std::string& toolPath);

// Asks the tool to end, gives it 2 seconds, and closes the pipes.
void StopExifTool();

// Writes one text to the tool's input in one call; false (after the failure
// has been shown) when it could not be written.
bool WriteToExifTool(std::string_view text);

// Reads until everything collected ends with the marker on a line of its
// own, and returns the report without it, or "{error}" after a failed read
// has been shown.
std::string ReadFromExifTool(std::string_view marker);

// One request for the given paths (UTF-8) and its report.
std::string ExchangeWithExifTool(const std::vector<std::string>& utf8Paths);

// The full path of the running program, in UTF-8, at any length.
std::string ProgramPath();
