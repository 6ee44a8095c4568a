// The paths a start's command line names. Windows splits the line and makes
// each path full with its own calls (CommandLineToArgvW, GetFullPathNameW);
// where there is no Win32, the same rules are written out here, so that one
// set of tests holds both to the same answers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The line's arguments by Windows' rules, the program's own path first.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The path made full against the current folder, as the file system makes
// it: separators as backslashes, "." and ".." taken out. Empty when it cannot
// be made full.
std::string FullPath(std::string_view path);

// Makes the full path the current folder; false when it cannot be.
bool SetCurrentFolder(std::string_view folder);

// Every argument after the program's own path, in order, made full, so that
// none is ever taken for an option of the tool; empty arguments are skipped,
// and wildcards stay for the tool to expand.
std::vector<std::string> CommandLinePaths(std::string_view commandLine);
