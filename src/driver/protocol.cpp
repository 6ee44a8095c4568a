#include "driver/protocol.h"

#include <algorithm>
#include <new>

#include "common/utf8.h"
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

ReportStream::ReportStream(std::string marker, size_t largestRead, size_t largest)
    : marker_(std::move(marker)), largest_(largest) {
    held_.reserve(marker_.size());
    text_.reserve(marker_.size() + largestRead);
}

std::string_view ReportStream::Append(std::string_view bytes) {
    if (complete_) {
        return {};
    }
    try {
        text_.assign(held_);
        text_.append(bytes);
    } catch (const std::bad_alloc&) {
        // Only the end can hold the marker.
        lost_ = true;
        const size_t keep = std::min(bytes.size(), marker_.size());
        text_.assign(bytes.substr(bytes.size() - keep));
        atLineStart_ = keep == bytes.size() ? atLineStart_ : bytes[bytes.size() - keep - 1] == '\n';
    }
    const std::string_view text = text_;
    const size_t n = marker_.size();
    if (text.size() >= n && text.substr(text.size() - n) == marker_) {
        const size_t at = text.size() - n;
        if (at == 0 ? atLineStart_ : text[at - 1] == '\n') {
            complete_ = true;
            held_.clear();
            return Release(text.substr(0, at));
        }
    }
    // A last line that may yet be the marker, or else a cut UTF-8 sequence.
    const size_t lineEnd = text.rfind('\n');
    const bool lineKnown = lineEnd != std::string_view::npos || atLineStart_;
    const size_t lineStart = lineEnd == std::string_view::npos ? 0 : lineEnd + 1;
    const std::string_view lastLine = text.substr(lineStart);
    size_t keep = text.size() - IncompleteUtf8Tail(text);
    if (lineKnown && !lastLine.empty() && lastLine.size() < n &&
        marker_.compare(0, lastLine.size(), lastLine) == 0) {
        keep = lineStart;
    }
    held_.assign(text.substr(keep));
    if (keep > 0) {
        atLineStart_ = text[keep - 1] == '\n';
    }
    return Release(text.substr(0, keep));
}

std::string_view ReportStream::Release(std::string_view bytes) {
    if (lost_ || bytes.size() > largest_ - released_) {
        lost_ = true;
        return {};
    }
    released_ += bytes.size();
    return bytes;
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
