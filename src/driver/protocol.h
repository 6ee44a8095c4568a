// The stay-open line protocol of exiftool, as text only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kToolFileName = "exiftool.exe";
inline constexpr std::string_view kToolArguments = "-stay_open True -@ -";
inline constexpr std::string_view kStopLines[] = {"-stay_open\r\n", "False\r\n"};

// The most a report may hold: the text box takes no more, and the system's
// conversions count in int.
inline constexpr size_t kLargestReport = 0x7FFFFFFE;

// The marker that ends the report of the request numbered `number`; the
// same line ends that request's share of the tool's standard error.
std::string ReadyMarker(std::uint64_t number);

// The length of a marker line of any request's number at `at`, or 0.
size_t AnyMarkerLengthAt(std::string_view text, size_t at);

// Where the marker first stands at the start of a line of `text`, at or
// after `from`; npos when it does not.
size_t FindMarkerLine(std::string_view text, std::string_view marker, size_t from = 0);

// The lines of one request, each ending in CR LF: the charset lines that make
// the tool take UTF-8 file names, one line per path, the echo that marks the
// end of the request's errors, then the numbered execute line. A path that
// holds CR or LF cannot be one line and is left out.
std::vector<std::string> RequestLines(const std::vector<std::string>& utf8Paths,
                                      std::uint64_t number);

// One line for each path that RequestLines leaves out, naming it with its
// line breaks shown; empty when it leaves out none.
std::string LeftOutNotes(const std::vector<std::string>& utf8Paths);

// Splits what the tool writes, read by read, into the report, handed on as
// it comes, and the marker that ends it. The marker counts only on a line of
// its own at the very end of what was written: one followed by more bytes
// came from a file's metadata or name. A last line that so far reads as the
// start of the marker, and a UTF-8 sequence cut by the read, are held back
// until the next read tells. Past `largest` bytes, the rest of the report is
// dropped as it comes, but the marker is still found, so the stream stays in
// step.
class ReportStream {
  public:
    // Room for reads of up to `largestRead` bytes is taken here, so that
    // Append never allocates for them.
    ReportStream(std::string marker, size_t largestRead, size_t largest = kLargestReport);

    // Adds one read's bytes and gives the report's bytes they release, valid
    // until the next call. Never throws: a read larger than `largestRead`
    // that there is no memory for is dropped, and the report is lost.
    std::string_view Append(std::string_view bytes);

    // The marker has ended the report.
    bool Complete() const { return complete_; }
    // Some of the report was dropped: too large, or no memory.
    bool Lost() const { return lost_; }

  private:
    std::string_view Release(std::string_view bytes);

    std::string marker_;
    size_t largest_;
    size_t released_ = 0;
    // What is held back, and the last read behind it.
    std::string held_;
    std::string text_;
    // The held bytes start a line.
    bool atLineStart_ = true;
    bool complete_ = false;
    bool lost_ = false;
};

// The most one write to the tool holds: a tool that stops reading
// mid-request then holds back little.
inline constexpr size_t kLargestWrite = size_t{64} * 1024;

// One write call: the bytes it took, or nothing when it failed.
using WriteCall = std::function<std::optional<size_t>(std::string_view piece)>;

// Writes all of `bytes` in pieces of at most `largestPiece`, again after a
// short write; stops at the first failed call, or one that takes nothing.
// False when it stopped short.
bool WriteWhole(std::string_view bytes, size_t largestPiece, const WriteCall& write);
