// The stay-open line protocol of exiftool, as text only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kToolFileName = "exiftool.exe";
inline constexpr std::string_view kToolArguments = "-stay_open True -@ -";
inline constexpr std::string_view kStopLines[] = {"-stay_open\r\n", "False\r\n"};

// The marker that ends the report of the request numbered `number`.
std::string ReadyMarker(std::uint64_t number);

// The lines of one request, each ending in CR LF: the charset lines that make
// the tool take UTF-8 file names, one line per path, then the numbered
// execute line. A path that holds CR or LF cannot be one line and is left out.
std::vector<std::string> RequestLines(const std::vector<std::string>& utf8Paths,
                                      std::uint64_t number);

// Collects what the tool writes until it ends with the expected marker at the
// start of a line. Bytes are looked at only at the end of all collected so
// far, so a marker split over reads is found and one followed by more bytes
// is not.
class ReportCollector {
  public:
    explicit ReportCollector(std::string marker) : marker_(std::move(marker)) {}

    // Adds one read's bytes; true once the report is complete.
    bool Append(std::string_view bytes);

    // The report without its marker; only once complete.
    std::string TakeReport();

  private:
    bool Complete() const;

    std::string marker_;
    std::string collected_;
};
