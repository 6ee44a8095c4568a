// Where the tool is looked for and how it is started, as text only.
#pragma once

#include <string>
#include <string_view>

// The tool's path beside the program: the program's folder (up to and
// including its last backslash) followed by the tool's file name.
std::string ToolPathBeside(std::string_view programPath);

// Rules a tool path must pass before the file system is asked about it:
// not empty, no wildcard, not a bare drive or device name ending in ':'.
// A "\\?\" prefix is not part of the path they look at.
bool PassesToolPathRules(std::string_view toolPath);

// The form of a path that the file system takes at any length: "\\?\" before
// a full path of MAX_PATH UTF-16 units or more ("\\?\UNC\" for a share), which
// such calls refuse otherwise. Shorter, relative and prefixed paths stay.
std::string ExtendedLengthPath(std::string_view path);

// The plain form of a path given in the "\\?\" form, for calls that want
// one; other paths stay.
std::string WithoutExtendedPrefix(std::string_view path);

// The command line: the path quoted, so that no shorter space-separated
// beginning of it can be run instead, then the stay-open arguments.
std::string ToolCommandLine(std::string_view toolPath);
