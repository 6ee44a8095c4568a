// Where the tool is looked for and how it is started, as text only.
#pragma once

#include <string>
#include <string_view>

// The tool's path beside the program: the program's folder (up to and
// including its last backslash) followed by the tool's file name.
std::string ToolPathBeside(std::string_view programPath);

// Rules a tool path must pass before the file system is asked about it:
// not empty, no wildcard, not a bare drive or device name ending in ':'.
bool PassesToolPathRules(std::string_view toolPath);

// The command line: the path quoted, so that no shorter space-separated
// beginning of it can be run instead, then the stay-open arguments.
std::string ToolCommandLine(std::string_view toolPath);
