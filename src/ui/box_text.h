// What the text box shows for one drop, and how fast it takes it in, as
// text only.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// How a report that reaches the box piece by piece is decoded: up to its
// first zero byte, as the box holds zero-terminated text; as UTF-8 while all
// of it is valid UTF-8, else all of it in the ANSI code page. Pieces must not
// cut a UTF-8 sequence.
class ReportDecoding {
  public:
    struct Piece {
        // What of the piece to show, and in which code page.
        std::string_view bytes;
        bool ansi;
        // This piece showed the report not to be UTF-8: what was shown of it
        // before must be shown again in the ANSI code page.
        bool redecodeShown;
    };
    Piece Next(std::string_view bytes);

  private:
    bool ansi_ = false;
    bool cut_ = false;
};

// The parts that follow a report in the box, in order, each decoded on its
// own: each that is not empty starts on a line of its own, so a line break
// goes before it where the text before it does not end in one.
std::vector<std::string_view> FollowingParts(bool textEndsLine,
                                             const std::vector<std::string_view>& parts);

// What one append to the box cost.
struct AppendCost {
    size_t length;
    double seconds;
};

// How much of the waiting text the next append may take, so that it takes
// about `kAppendBudget` seconds, as the last one's cost per character says,
// and at most four times the last; without a last one, a first piece that is
// quick anywhere. Never less than
// a 32nd of the text in the box: each append lays that out again too, so
// smaller pieces would make the whole take quadratic time.
inline constexpr double kAppendBudget = 0.5;
inline constexpr size_t kFirstPiece = size_t{64} * 1024;
inline constexpr size_t kSmallestPiece = size_t{16} * 1024;
inline constexpr size_t kLargestPiece = size_t{1024} * 1024;
size_t NextPieceLength(const AppendCost* last, size_t boxLength);
