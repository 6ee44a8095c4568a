#include "driver/protocol.h"

#include <algorithm>
#include <new>

#include "report/messages.h"

namespace {

constexpr std::string_view kMarkerHead = "{ready";
constexpr std::string_view kMarkerEnd = "}\r\n";

} // namespace

std::string ReadyMarker(std::uint64_t number) {
    std::string marker(kMarkerHead);
    marker += std::to_string(number);
    marker += kMarkerEnd;
    return marker;
}

size_t AnyMarkerLengthAt(std::string_view text, size_t at) {
    if (text.substr(at, kMarkerHead.size()) != kMarkerHead) {
        return 0;
    }
    size_t end = at + kMarkerHead.size();
    const size_t digits = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
        ++end;
    }
    if (end == digits || text.substr(end, kMarkerEnd.size()) != kMarkerEnd) {
        return 0;
    }
    return end + kMarkerEnd.size() - at;
}

size_t FindMarkerLine(std::string_view text, std::string_view marker, size_t from) {
    // The tool writes its marker on a line of its own; one inside a line
    // came from a file's metadata or name.
    for (size_t at = text.find(marker, from); at != std::string_view::npos;
         at = text.find(marker, at + 1)) {
        if (at == 0 || text[at - 1] == '\n') {
            return at;
        }
    }
    return std::string_view::npos;
}

namespace {

bool BreaksTheLine(const std::string& path) {
    return path.find_first_of("\r\n") != std::string::npos;
}

} // namespace

std::vector<std::string> RequestLines(const std::vector<std::string>& utf8Paths,
                                      std::uint64_t number) {
    std::vector<std::string> lines = {"-charset\r\n", "filename=utf8\r\n"};
    for (const std::string& path : utf8Paths) {
        if (BreaksTheLine(path)) {
            continue;
        }
        lines.push_back(path + "\r\n");
    }
    // Written to standard error once the files are done, after anything the
    // tool had to say about them there.
    lines.emplace_back("-echo4\r\n");
    lines.push_back(ReadyMarker(number));
    lines.push_back("-execute" + std::to_string(number) + "\r\n");
    return lines;
}

std::string LeftOutNotes(const std::vector<std::string>& utf8Paths) {
    std::string notes;
    for (const std::string& path : utf8Paths) {
        if (!BreaksTheLine(path)) {
            continue;
        }
        notes += kLeftOutText;
        for (const char c : path) {
            if (c == '\r') {
                notes += "<CR>";
            } else if (c == '\n') {
                notes += "<LF>";
            } else {
                notes += c;
            }
        }
        notes += "\r\n";
    }
    return notes;
}

ReportCollector::ReportCollector(std::string marker, size_t largest)
    : marker_(std::move(marker)), largest_(largest) {
    tail_.reserve(marker_.size() + 1);
}

bool ReportCollector::Append(std::string_view bytes) {
    seen_ += bytes.size();
    if (!lost_) {
        if (bytes.size() > largest_ - std::min(largest_, collected_.size())) {
            Lose();
        } else {
            try {
                collected_.append(bytes);
            } catch (const std::bad_alloc&) {
                Lose();
            }
        }
    }
    if (lost_) {
        KeepTail(bytes);
    }
    const std::string_view text = lost_ ? tail_ : collected_;
    const size_t n = marker_.size();
    if (text.size() < n || seen_ < n) {
        return false;
    }
    const size_t at = text.size() - n;
    // Where the marker starts in the whole stream decides the line start.
    return text.substr(at) == marker_ && (seen_ == n || (at > 0 && text[at - 1] == '\n'));
}

void ReportCollector::Lose() {
    lost_ = true;
    // What was collected becomes the tail, then goes.
    KeepTail(collected_);
    std::string().swap(collected_);
}

void ReportCollector::KeepTail(std::string_view bytes) {
    const size_t room = tail_.capacity();
    if (bytes.size() >= room) {
        tail_.assign(bytes.substr(bytes.size() - room));
        return;
    }
    const size_t keep = std::min(tail_.size(), room - bytes.size());
    tail_.erase(0, tail_.size() - keep);
    tail_.append(bytes);
}

std::string ReportCollector::TakeReport() {
    if (lost_) {
        return std::string();
    }
    collected_.resize(collected_.size() - marker_.size());
    return std::move(collected_);
}

bool WriteWhole(std::string_view bytes, size_t largestPiece, const WriteCall& write) {
    do {
        const std::optional<size_t> taken = write(bytes.substr(0, largestPiece));
        if (!taken || (*taken == 0 && !bytes.empty())) {
            return false;
        }
        bytes.remove_prefix(std::min(*taken, bytes.size()));
    } while (!bytes.empty());
    return true;
}
