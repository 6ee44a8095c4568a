#include "driver/tool_path.h"

#include "common/utf8.h"
#include "driver/protocol.h"

namespace {

constexpr std::string_view kExtendedPrefix = "\\\\?\\";
constexpr std::string_view kExtendedUncPrefix = "\\\\?\\UNC\\";
constexpr size_t kMaxPath = 260;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::string ToolPathBeside(std::string_view programPath) {
    const size_t slash = programPath.rfind('\\');
    std::string path(slash == std::string_view::npos ? std::string_view()
                                                     : programPath.substr(0, slash + 1));
    path += kToolFileName;
    return path;
}

bool PassesToolPathRules(std::string_view toolPath) {
    if (StartsWith(toolPath, kExtendedPrefix)) {
        toolPath.remove_prefix(kExtendedPrefix.size());
    }
    return !toolPath.empty() && toolPath.find_first_of("?*") == std::string_view::npos &&
           toolPath.back() != ':';
}

std::string ExtendedLengthPath(std::string_view path) {
    if (Utf16Length(path) < kMaxPath || StartsWith(path, kExtendedPrefix)) {
        return std::string(path);
    }
    if (StartsWith(path, "\\\\")) {
        return std::string(kExtendedUncPrefix) + std::string(path.substr(2));
    }
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
        return std::string(kExtendedPrefix) + std::string(path);
    }
    return std::string(path);
}

std::string WithoutExtendedPrefix(std::string_view path) {
    if (StartsWith(path, kExtendedUncPrefix)) {
        return "\\\\" + std::string(path.substr(kExtendedUncPrefix.size()));
    }
    if (StartsWith(path, kExtendedPrefix)) {
        return std::string(path.substr(kExtendedPrefix.size()));
    }
    return std::string(path);
}

std::string ToolCommandLine(std::string_view toolPath) {
    std::string line = "\"";
    line += toolPath;
    line += "\" ";
    line += kToolArguments;
    return line;
}
