#include "app/command_line.h"

std::vector<std::string> CommandLinePaths(std::string_view commandLine) {
    std::vector<std::string> arguments = SplitCommandLine(commandLine);
    std::vector<std::string> paths;
    for (size_t i = 1; i < arguments.size(); ++i) {
        std::string& argument = arguments[i];
        if (argument.empty()) {
            continue;
        }
        std::string full = FullPath(argument);
        if (full.empty()) {
            // Only a path near the line's length limit, which no folder can
            // hold: the tool says so, and never takes it for an option.
            full = argument.front() == '-' ? ".\\" + argument : std::move(argument);
        }
        paths.push_back(std::move(full));
    }
    return paths;
}
