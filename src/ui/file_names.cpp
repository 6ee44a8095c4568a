#include "ui/file_names.h"

#include "common/utf8.h"

namespace {

// The most UTF-16 units one part of a path may hold.
constexpr size_t kLongestName = 255;

bool CanBeFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("<>:\"/\\|?*") == std::string_view::npos;
}

} // namespace

std::string DefaultSaveName(std::string_view firstDropped) {
    while (!firstDropped.empty() && (firstDropped.back() == '\\' || firstDropped.back() == '/')) {
        firstDropped.remove_suffix(1);
    }
    std::string_view name = firstDropped.substr(firstDropped.find_last_of("\\/") + 1);
    if (!CanBeFileName(name)) {
        return std::string(kPlainSaveName);
    }
    // Shortened until the end fits after it: as only a sequence's first
    // byte counts, what is left always ends with a whole character.
    while (Utf16Length(name) + kSaveNameEnd.size() > kLongestName) {
        name.remove_suffix(1);
    }
    return std::string(name) + std::string(kSaveNameEnd);
}

std::vector<std::string> ChosenPaths(const std::vector<std::string>& parts) {
    if (parts.size() < 2) {
        return parts;
    }
    std::string folder = parts.front();
    if (!folder.empty() && folder.back() != '\\') {
        folder += '\\';
    }
    std::vector<std::string> paths;
    for (size_t i = 1; i < parts.size(); ++i) {
        paths.push_back(folder + parts[i]);
    }
    return paths;
}
