// Windows' rules for the command line and for full paths, written out for
// where there is no Win32; the Windows build asks the system instead.
#include "app/command_line.h"

#include <algorithm>

namespace {

// Full, without a backslash at its end unless it is a root.
std::string currentFolder = "C:\\";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

size_t SkipBlanks(std::string_view line, size_t at) {
    while (at < line.size() && IsBlank(line[at])) {
        ++at;
    }
    return at;
}

// One argument from `at` to the next blank outside quotes: 2n backslashes
// and a quote are n backslashes and a quote that opens or closes, 2n+1 and
// a quote are n backslashes and a quote; backslashes before anything else
// are themselves. A third quote in a row is a quote of its own.
std::string NextArgument(std::string_view line, size_t* at) {
    std::string argument;
    size_t backslashes = 0;
    int quotes = 0;
    size_t i = *at;
    while (i < line.size() && (quotes != 0 || !IsBlank(line[i]))) {
        const char c = line[i++];
        if (c != '"') {
            argument += c;
            backslashes = c == '\\' ? backslashes + 1 : 0;
            continue;
        }
        argument.resize(argument.size() - backslashes / 2);
        if (backslashes % 2 == 0) {
            ++quotes;
        } else {
            argument.back() = '"';
        }
        backslashes = 0;
        for (; i < line.size() && line[i] == '"'; ++i) {
            if (++quotes == 3) {
                argument += '"';
                quotes = 0;
            }
        }
        quotes = quotes == 2 ? 0 : quotes;
    }
    *at = i;
    return argument;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool IsDrive(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// "C:\" of a drive's path, "\\server\share\" of a share's.
std::string RootOf(std::string_view full) {
    if (IsDrive(full)) {
        return std::string(full.substr(0, 2)) + "\\";
    }
    const size_t server = full.find('\\', 2);
    const size_t share = server == std::string_view::npos ? server : full.find('\\', server + 1);
    return std::string(full.substr(0, share)) + "\\";
}

// The parts after the root with empty ones and "." left out and each ".."
// taking the one before it. A path that ends in a separator keeps it;
// else trailing dots and spaces leave its last part.
std::string Collapse(std::string_view rest, bool endsInSeparator) {
    std::vector<std::string_view> parts;
    for (size_t from = 0; from <= rest.size();) {
        size_t end = rest.find('\\', from);
        end = end == std::string_view::npos ? rest.size() : end;
        const std::string_view part = rest.substr(from, end - from);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        from = end + 1;
    }
    std::string collapsed;
    for (const std::string_view part : parts) {
        collapsed += collapsed.empty() ? "" : "\\";
        collapsed += part;
    }
    if (endsInSeparator && !collapsed.empty()) {
        return collapsed + "\\";
    }
    while (!collapsed.empty() && (collapsed.back() == '.' || collapsed.back() == ' ')) {
        collapsed.pop_back();
    }
    return collapsed;
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    // The program's path ends at the quote that closes it, or at a blank,
    // and knows no escapes.
    size_t end = line.empty() || line[0] != '"' ? line.find_first_of(" \t") : line.find('"', 1);
    end = std::min(end, line.size());
    std::vector<std::string> arguments;
    if (!line.empty() && line[0] == '"') {
        arguments.emplace_back(line.substr(1, end - 1));
        end = std::min(end + 1, line.size());
    } else {
        arguments.emplace_back(line.substr(0, end));
    }
    for (size_t at = SkipBlanks(line, end); at < line.size(); at = SkipBlanks(line, at)) {
        arguments.push_back(NextArgument(line, &at));
    }
    return arguments;
}

std::string FullPath(std::string_view given) {
    std::string path(given);
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.empty() || StartsWith(path, "\\\\?\\")) {
        return path;
    }
    std::string root = RootOf(currentFolder);
    const std::string inCurrent = currentFolder.substr(root.size()) + "\\";
    std::string rest;
    if (StartsWith(path, "\\\\")) {
        root = RootOf(path);
        rest = path.substr(std::min(root.size(), path.size()));
    } else if (IsDrive(path) && path.size() > 2 && path[2] == '\\') {
        root = path.substr(0, 3);
        rest = path.substr(3);
    } else if (IsDrive(path)) {
        // Against the current folder when it is on that drive, else its root.
        const bool here = IsDrive(root) && (root[0] | 0x20) == (path[0] | 0x20);
        rest = (here ? inCurrent : std::string()) + path.substr(2);
        root = here ? root : path.substr(0, 2) + "\\";
    } else if (path[0] == '\\') {
        rest = path.substr(1);
    } else {
        rest = inCurrent + path;
    }
    return root + Collapse(rest, path.back() == '\\');
}

bool SetCurrentFolder(std::string_view folder) {
    std::string full = FullPath(folder);
    if (full.empty()) {
        return false;
    }
    currentFolder = std::move(full);
    return true;
}
