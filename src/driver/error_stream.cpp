#include "driver/error_stream.h"

#include <algorithm>
#include <new>
#include <utility>

#include "driver/protocol.h"

namespace {

// Where the text of the request whose marker stands at `end` begins: just
// after the last line before `end` that is a marker of an earlier request.
size_t ShareStart(std::string_view held, size_t end) {
    size_t start = 0;
    for (size_t line = 0; line < end;) {
        const size_t length = AnyMarkerLengthAt(held, line);
        if (length > 0 && line + length <= end) {
            start = line + length;
        }
        const size_t next = held.find('\n', line);
        if (next == std::string_view::npos) {
            break;
        }
        line = next + 1;
    }
    return start;
}

} // namespace

void ErrorStream::Append(std::string_view bytes, size_t largest) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        bool held = bytes.size() <= largest - std::min(largest, held_.size());
        if (held) {
            try {
                held_.append(bytes);
            } catch (const std::bad_alloc&) {
                held = false;
            }
        }
        if (!held) {
            std::string().swap(held_);
            lost_ = true;
        }
    }
    changed_.notify_all();
}

void ErrorStream::End() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        ended_ = true;
    }
    changed_.notify_all();
}

ErrorStream::Share ErrorStream::Take(std::string_view marker, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock<std::mutex> hold(lock_);
    size_t searched = 0;
    size_t end = std::string::npos;
    for (;;) {
        // Only what is new since the last look, with a marker cut by it.
        end = FindMarkerLine(held_, marker, searched - std::min(searched, marker.size()));
        searched = held_.size();
        if (end != std::string::npos || ended_ || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        changed_.wait_until(hold, deadline);
    }
    // The share ends at `stop`; what the next take looks at starts at `next`.
    size_t stop = end;
    size_t next = end;
    if (end != std::string::npos) {
        next = end + marker.size();
    } else {
        // The whole lines, or all once nothing more will come.
        const size_t lastLineEnd = held_.rfind('\n');
        const size_t wholeLines = lastLineEnd == std::string::npos ? 0 : lastLineEnd + 1;
        stop = ended_ ? held_.size() : wholeLines;
        next = stop;
    }
    const size_t start = ShareStart(held_, stop);
    Share share;
    share.lost = std::exchange(lost_, false);
    try {
        share.text = held_.substr(start, stop - start);
    } catch (const std::bad_alloc&) {
        share.lost = true;
    }
    held_.erase(0, next);
    if (held_.capacity() > kKeptCapacity && held_.size() <= kKeptCapacity / 2) {
        try {
            std::string(held_).swap(held_);
        } catch (const std::bad_alloc&) {
            // Kept as it is; it is given back at a later take.
        }
    }
    return share;
}

size_t ErrorStream::Capacity() {
    std::lock_guard<std::mutex> hold(lock_);
    return held_.capacity();
}
