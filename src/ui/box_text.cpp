#include "ui/box_text.h"

#include <algorithm>

#include "common/utf8.h"

ReportDecoding::Piece ReportDecoding::Next(std::string_view bytes) {
    if (cut_) {
        return {std::string_view(), ansi_, false};
    }
    const std::string_view shown = UpToFirstZero(bytes);
    cut_ = shown.size() < bytes.size();
    // The tool writes UTF-8; anything else is taken as the ANSI code page.
    const bool redecode = !ansi_ && !IsValidUtf8(shown);
    ansi_ = ansi_ || redecode;
    return {shown, ansi_, redecode};
}

std::vector<std::string_view> FollowingParts(bool textEndsLine,
                                             const std::vector<std::string_view>& parts) {
    std::vector<std::string_view> out;
    for (const std::string_view part : parts) {
        if (part.empty()) {
            continue;
        }
        if (!textEndsLine) {
            out.emplace_back("\r\n");
        }
        out.push_back(part);
        textEndsLine = part.back() == '\n';
    }
    return out;
}

size_t NextPieceLength(const AppendCost* last, size_t boxLength) {
    size_t length = kFirstPiece;
    if (last != nullptr) {
        // A clock too coarse to see the append says little of its cost, and
        // a small piece's cost says little of a large one's: grow by steps.
        const double seconds = std::max(last->seconds, 0.001);
        const double fits = std::min(static_cast<double>(last->length) * kAppendBudget / seconds,
                                     4.0 * static_cast<double>(last->length));
        length = fits >= static_cast<double>(kLargestPiece)
                     ? kLargestPiece
                     : std::max(kSmallestPiece, static_cast<size_t>(fits));
    }
    return std::max(length, boxLength / 32);
}
