#include "driver/tool_path.h"

#include "driver/protocol.h"

std::string ToolPathBeside(std::string_view programPath) {
    const size_t slash = programPath.rfind('\\');
    std::string path(slash == std::string_view::npos ? std::string_view()
                                                     : programPath.substr(0, slash + 1));
    path += kToolFileName;
    return path;
}

bool PassesToolPathRules(std::string_view toolPath) {
    return !toolPath.empty() && toolPath.find_first_of("?*") == std::string_view::npos &&
           toolPath.back() != ':';
}

std::string ToolCommandLine(std::string_view toolPath) {
    std::string line = "\"";
    line += toolPath;
    line += "\" ";
    line += kToolArguments;
    return line;
}
