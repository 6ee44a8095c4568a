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

// Collects what the tool writes until it ends with the expected marker at the
// start of a line. Bytes are looked at only at the end of all collected so
// far, so a marker split over reads is found and one followed by more bytes
// is not. A report larger than `largest`, or one there is no memory for, is
// dropped as it comes, but the collector still finds its marker, so the
// stream stays in step.
class ReportCollector {
  public:
    explicit ReportCollector(std::string marker, size_t largest = kLargestReport);

    // Adds one read's bytes; true once the report is complete. Never throws.
    bool Append(std::string_view bytes);

    // True when the report had to be dropped.
    bool Lost() const { return lost_; }

    // The report without its marker; only once complete, and empty if lost.
    std::string TakeReport();

  private:
    void Lose();
    void KeepTail(std::string_view bytes);

    std::string marker_;
    size_t largest_;
    std::string collected_;
    // Once lost: the last bytes, enough to see a marker and the line end
    // before it. Its room is taken up front, so keeping it never allocates.
    std::string tail_;
    size_t seen_ = 0;
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
