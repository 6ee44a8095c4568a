// Starts exiftool in stay-open mode as a child process over three pipes,
// starts it again when it has ended, and stops it.
#pragma once

#include <string>

// Starts the tool found beside the program. 1 on success; 0 after the
// failure has been shown.
int StartExifTool();

// Starts the tool at the given path (UTF-8); the same rules and reports.
int StartExifToolAt(const std::string& toolPath);

// True while the tool started last still runs.
bool ExifToolRunning();

// Starts the tool again, from where and by the rules it was started first,
// when the one started last has ended (died, killed, cancelled). 1 when a
// tool runs; 0 after the new start's failure has been shown.
int RestartExifToolIfEnded();

// Ends the tool and all it started at once; an exchange in progress then
// ends with a failed read. The next start begins afresh.
void EndExifTool();

// Asks a running tool to end and gives it 2 seconds; then ends it if it
// still runs, waits for the exchange in progress to end, and closes the
// pipes. A tool that has already ended is neither written to nor waited for.
void StopExifTool();

// The full path of the running program, in UTF-8, at any length.
std::string ProgramPath();
