#include "driver/protocol.h"

std::string ReadyMarker(std::uint64_t number) {
    return "{ready" + std::to_string(number) + "}\r\n";
}

std::vector<std::string> RequestLines(const std::vector<std::string>& utf8Paths,
                                      std::uint64_t number) {
    std::vector<std::string> lines = {"-charset\r\n", "filename=utf8\r\n"};
    for (const std::string& path : utf8Paths) {
        if (path.find_first_of("\r\n") != std::string::npos) {
            continue;
        }
        lines.push_back(path + "\r\n");
    }
    lines.push_back("-execute" + std::to_string(number) + "\r\n");
    return lines;
}

bool ReportCollector::Append(std::string_view bytes) {
    collected_.append(bytes);
    return Complete();
}

bool ReportCollector::Complete() const {
    const size_t n = marker_.size();
    if (collected_.size() < n || collected_.compare(collected_.size() - n, n, marker_) != 0) {
        return false;
    }
    // The tool writes its marker on a line of its own; one inside a line
    // came from a file's metadata.
    return collected_.size() == n || collected_[collected_.size() - n - 1] == '\n';
}

std::string ReportCollector::TakeReport() {
    collected_.resize(collected_.size() - marker_.size());
    return std::move(collected_);
}
