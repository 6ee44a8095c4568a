// What the text box shows for one drop, and how fast it takes it in, as
// text only.
#pragma once

#include <bitset>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which bytes of the ANSI code page begin a character of two bytes; none in
// a code page of single bytes.
using LeadBytes = std::bitset<256>;

// How long the start of `bytes` is that ends on a character's end, when
// `afterLead` says whether the bytes begin with the trail byte of a lead
// byte that came before.
size_t WholeCharacters(std::string_view bytes, const LeadBytes& leads, bool afterLead = false);

// What the box shows in place of a zero byte, which would end its text.
inline constexpr char16_t kZeroMark = u'\u2400';

// How a report that reaches the box piece by piece is decoded: as UTF-8
// while all of it is valid UTF-8, else all of it in the ANSI code page.
// Pieces must not cut a UTF-8 sequence; a lead byte at the end of a piece
// decoded in a double-byte code page is held back for the next.
class ReportDecoding {
  public:
    explicit ReportDecoding(const LeadBytes& leads = LeadBytes()) : leads_(leads) {}

    struct Piece {
        // What to show, and in which code page; valid until the next call.
        std::string_view bytes;
        bool ansi;
        // This piece showed the report not to be UTF-8: what came before
        // must be shown again in the ANSI code page, and this piece's bytes
        // follow it in the same decoding.
        bool redecodeShown;
    };
    Piece Next(std::string_view bytes);
    // The report is over: a lead byte still held back, whose trail never came.
    std::string_view Rest() const { return held_; }

  private:
    LeadBytes leads_;
    bool ansi_ = false;
    // The bytes so far end in a lead byte, read as the ANSI code page.
    bool afterLead_ = false;
    std::string held_;
    std::string piece_;
};

// The parts that follow a report in the box, in order, each decoded on its
// own: each that is not empty starts on a line of its own, so a line break
// goes before it where the text before it, whose last character is `last`
// (0 for none), does not end in one.
std::vector<std::string_view> FollowingParts(char16_t last,
                                             const std::vector<std::string_view>& parts);

// Decoded text on its way into the box, kept in the chunks it came in, so
// that a backlog grows, is taken and is cut without ever being copied whole.
class Backlog {
  public:
    bool Empty() const { return length_ == 0; }
    size_t Length() const { return length_; }
    char16_t Back() const { return chunks_.back().back(); }

    void Push(std::u16string chunk);
    void PushFront(std::u16string chunk);
    // Copies the next piece into `piece`: at most `most` units, ended at a
    // line end where one lies in its second half, never inside a surrogate
    // pair. Consume takes it away once the box has it.
    void Next(size_t most, std::u16string* piece) const;
    // Copies the first `count` units (all, where fewer wait) into `out`.
    void CopyFront(size_t count, std::u16string* out) const;
    void Consume(size_t count);
    // Keeps the first `count` units only.
    void Keep(size_t count);
    void Clear();

    size_t Chunks() const { return chunks_.size(); }

  private:
    std::deque<std::u16string> chunks_;
    // What of the first chunk the box has already.
    size_t front_ = 0;
    size_t length_ = 0;
};

// What one append to the box cost.
struct AppendCost {
    size_t length;
    double seconds;
};

// What the appends of a drop cost, fitted as a cost per character appended
// and one per character already in the box, which each append lays out
// again; later appends weigh more.
class AppendCosts {
  public:
    // `whole`: the piece replaced the box's text, which costs otherwise.
    void Add(size_t length, size_t boxLength, double seconds, bool whole = false);
    const AppendCost* Last() const { return last_ ? &*last_ : nullptr; }
    // What an append costs for the text in a box of that length, however
    // small the piece; unknown until the appends so far can tell it.
    std::optional<double> Growing(size_t boxLength) const;

  private:
    std::optional<AppendCost> last_;
    // Weighted sums over the appends, in millions of characters.
    double pieces_ = 0;
    double piecesBox_ = 0;
    double boxes_ = 0;
    double piecesTime_ = 0;
    double boxesTime_ = 0;
};

// How much of the waiting text the next append may take, so that it takes
// about `kAppendBudget` seconds: `growing` is what an append costs for the
// text already in the box, and the rest of the last one's cost is per
// character; at most four times the last, and without a last one, a first
// piece that is quick anywhere. While the growing part takes less than half
// the budget, that bound rules: each piece then leaves at least half of it
// to its own characters, so the appends stay few and the whole linear. Once
// it takes more, or is not known, a piece is never less than a 32nd of the
// text in the box: smaller ones would make the whole take quadratic time,
// and the bound on an append's time gives way.
inline constexpr double kAppendBudget = 0.5;
inline constexpr size_t kFirstPiece = size_t{64} * 1024;
inline constexpr size_t kSmallestPiece = size_t{16} * 1024;
inline constexpr size_t kLargestPiece = size_t{1024} * 1024;
size_t NextPieceLength(const AppendCost* last, size_t boxLength,
                       std::optional<double> growing = std::nullopt);
