#include "ui/box_text.h"

#include <algorithm>
#include <utility>

#include "common/utf8.h"

size_t WholeCharacters(std::string_view bytes, const LeadBytes& leads, bool afterLead) {
    for (const char c : bytes) {
        afterLead = !afterLead && leads.test(static_cast<unsigned char>(c));
    }
    // An empty text ends where it begins, even after a lead byte.
    return bytes.size() - (afterLead && !bytes.empty() ? 1 : 0);
}

ReportDecoding::Piece ReportDecoding::Next(std::string_view bytes) {
    // The tool writes UTF-8; anything else is taken as the ANSI code page.
    const bool redecode = !ansi_ && !IsValidUtf8(bytes);
    ansi_ = ansi_ || redecode;
    // Read as the ANSI code page from the report's start, even while it is
    // UTF-8, so that a new decoding knows where its characters begin.
    const bool afterLead = afterLead_;
    const size_t whole = WholeCharacters(bytes, leads_, afterLead);
    afterLead_ = whole < bytes.size() || (afterLead && bytes.empty());
    if (!ansi_ || bytes.empty()) {
        // Nothing new releases what is held back.
        return {bytes, ansi_, redecode};
    }
    if (held_.empty()) {
        // As in every single-byte code page: the bytes go out as they came.
        held_.assign(bytes.substr(whole));
        return {bytes.substr(0, whole), true, redecode};
    }
    piece_.assign(held_);
    piece_.append(bytes.substr(0, whole));
    held_.assign(bytes.substr(whole));
    return {piece_, true, redecode};
}

std::vector<std::string_view> FollowingParts(char16_t last,
                                             const std::vector<std::string_view>& parts) {
    std::vector<std::string_view> out;
    for (const std::string_view part : parts) {
        if (part.empty()) {
            continue;
        }
        // A line the text ended with a lone CR needs only its LF.
        if (last == u'\r') {
            out.emplace_back("\n");
        } else if (last != u'\0' && last != u'\n') {
            out.emplace_back("\r\n");
        }
        out.push_back(part);
        // A zero byte ends no line: it shows as a mark.
        last = part.back() == '\0' ? kZeroMark : static_cast<unsigned char>(part.back());
    }
    return out;
}

void Backlog::Push(std::u16string chunk) {
    if (!chunk.empty()) {
        const size_t size = chunk.size();
        chunks_.push_back(std::move(chunk));
        length_ += size;
    }
}

void Backlog::PushFront(std::u16string chunk) {
    if (chunk.empty()) {
        return;
    }
    if (front_ > 0) {
        chunks_.front().erase(0, front_);
        front_ = 0;
    }
    const size_t size = chunk.size();
    chunks_.push_front(std::move(chunk));
    length_ += size;
}

void Backlog::CopyFront(size_t count, std::u16string* out) const {
    out->clear();
    size_t from = front_;
    for (const std::u16string& chunk : chunks_) {
        if (out->size() == count) {
            break;
        }
        out->append(chunk, from, std::min(chunk.size() - from, count - out->size()));
        from = 0;
    }
}

void Backlog::Next(size_t most, std::u16string* piece) const {
    CopyFront(most, piece);
    if (piece->size() == length_) {
        return;
    }
    const size_t lineEnd = piece->rfind(u'\n');
    if (lineEnd != std::u16string::npos && lineEnd >= most / 2) {
        piece->resize(lineEnd + 1);
    } else if (IsHighSurrogate(piece->back())) {
        piece->pop_back();
    }
}

void Backlog::Consume(size_t count) {
    length_ -= count;
    while (count > 0) {
        const size_t left = chunks_.front().size() - front_;
        if (count < left) {
            front_ += count;
            return;
        }
        count -= left;
        chunks_.pop_front();
        front_ = 0;
    }
}

void Backlog::Keep(size_t count) {
    if (count >= length_) {
        return;
    }
    if (count == 0) {
        Clear();
        return;
    }
    // Cut where it falls, in place: the window's thread waits on this, and
    // a copy of all might not even fit in memory.
    size_t kept = 0;
    size_t from = front_;
    auto chunk = chunks_.begin();
    while (kept + (chunk->size() - from) < count) {
        kept += chunk->size() - from;
        from = 0;
        ++chunk;
    }
    chunk->resize(from + (count - kept));
    chunks_.erase(chunk + 1, chunks_.end());
    length_ = count;
}

void Backlog::Clear() {
    chunks_.clear();
    front_ = 0;
    length_ = 0;
}

void AppendCosts::Add(size_t length, size_t boxLength, double seconds, bool whole) {
    last_ = AppendCost{length, seconds};
    if (whole || !(seconds >= 0 && seconds < 3600)) {
        return;
    }
    // The box's text changes over a drop: older appends fade.
    constexpr double kKept = 0.9;
    const double piece = static_cast<double>(length) / 1e6;
    const double box = static_cast<double>(boxLength) / 1e6;
    pieces_ = kKept * pieces_ + piece * piece;
    piecesBox_ = kKept * piecesBox_ + piece * box;
    boxes_ = kKept * boxes_ + box * box;
    piecesTime_ = kKept * piecesTime_ + piece * seconds;
    boxesTime_ = kKept * boxesTime_ + box * seconds;
}

std::optional<double> AppendCosts::Growing(size_t boxLength) const {
    // Least squares of the time on the piece and the box: told only when
    // the appends so far were not all alike in the two.
    const double determinant = pieces_ * boxes_ - piecesBox_ * piecesBox_;
    if (!(determinant > 1e-3 * pieces_ * boxes_)) {
        return std::nullopt;
    }
    const double perBox = (boxesTime_ * pieces_ - piecesTime_ * piecesBox_) / determinant;
    return std::max(perBox, 0.0) * static_cast<double>(boxLength) / 1e6;
}

size_t NextPieceLength(const AppendCost* last, size_t boxLength, std::optional<double> growing) {
    if (last == nullptr) {
        return std::max(kFirstPiece, boxLength / 32);
    }
    // Whatever the clock said: a cost that is not a number counts as none.
    const double grows = growing && *growing > 0 ? std::min(*growing, 3600.0) : 0.0;
    const double seconds = last->seconds > 0 ? std::min(last->seconds, 3600.0) : 0.0;
    const double length = static_cast<double>(std::max<size_t>(last->length, 1));
    // A clock too coarse to see the append says little of its cost, and a
    // small piece's cost says little of a large one's: grow by steps.
    const double characters = std::max(seconds - grows, 0.001);
    const double fits =
        std::min(std::max(kAppendBudget - grows, 0.0) * length / characters, 4.0 * length);
    size_t piece = fits >= static_cast<double>(kLargestPiece)
                       ? kLargestPiece
                       : std::max(kSmallestPiece, static_cast<size_t>(fits));
    if (!growing || grows >= kAppendBudget / 2) {
        piece = std::max(piece, boxLength / 32);
    }
    return piece;
}
