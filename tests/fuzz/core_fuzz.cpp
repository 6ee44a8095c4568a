// Fuzzes the core's handling of what the tool writes, and checks what must
// hold for any input, not only that nothing crashes. The first byte picks
// the part ('0' to '4'); the rest is its input, read with libFuzzer's
// FuzzedDataProvider: texts from the front, cuts and choices from the end.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/utf8.h"
#include "driver/error_stream.h"
#include "driver/protocol.h"
#include "ui/box_text.h"
#include "ui/text_search.h"

namespace {

// A property that does not hold ends the run; libFuzzer keeps the input.
#define REQUIRE(condition)                                                                         \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "core_fuzz.cpp:%d: does not hold: %s\n", __LINE__, #condition);   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

constexpr size_t kLongestText = 4096;

// Cuts `all` into reads at points the input chooses, empty ones too. With
// `wholeSequences`, no cut falls inside a UTF-8 sequence.
std::vector<std::string_view> Reads(std::string_view all, FuzzedDataProvider& fuzz,
                                    bool wholeSequences = false) {
    std::vector<std::string_view> reads;
    size_t at = 0;
    while (fuzz.remaining_bytes() > 0 && at < all.size()) {
        size_t cut = at + fuzz.ConsumeIntegralInRange<size_t>(0, all.size() - at);
        if (wholeSequences) {
            cut -= IncompleteUtf8Tail(all.substr(0, cut));
            cut = cut < at ? at : cut;
        }
        reads.push_back(all.substr(at, cut - at));
        at = cut;
    }
    reads.push_back(all.substr(at));
    return reads;
}

bool HasAnyMarkerLine(std::string_view text) {
    for (size_t line = 0; line < text.size();) {
        if (AnyMarkerLengthAt(text, line) > 0) {
            return true;
        }
        const size_t end = text.find('\n', line);
        if (end == std::string_view::npos) {
            break;
        }
        line = end + 1;
    }
    return false;
}

// ReportStream -------------------------------------------------------------

struct Streamed {
    std::string report;
    size_t readsUsed = 0;
    bool complete = false;
    bool lost = false;
};

// The reads are cut from `all`.
Streamed Stream(const std::string& marker, std::string_view all,
                const std::vector<std::string_view>& reads, size_t largest) {
    ReportStream stream(marker, kLongestText, largest);
    Streamed out;
    for (const std::string_view read : reads) {
        out.report += stream.Append(read);
        ++out.readsUsed;
        // No piece ends inside a character that the bytes after it go on
        // with.
        const size_t end = out.report.size();
        REQUIRE(stream.Lost() || IncompleteUtf8Tail(out.report) == 0 ||
                (end < all.size() && (static_cast<unsigned char>(all[end]) & 0xC0) != 0x80));
        if (stream.Complete()) {
            out.complete = true;
            break;
        }
    }
    out.lost = stream.Lost();
    return out;
}

// What the reads release adds up to what one read of the same bytes does;
// a report then its marker on a line of its own ends there, whole.
void ReportStreamReleasesAlikeUnderAnySplit(FuzzedDataProvider& fuzz) {
    const std::string marker = ReadyMarker(fuzz.ConsumeIntegral<std::uint8_t>());
    const bool framed = fuzz.ConsumeBool();
    const size_t largest =
        fuzz.ConsumeBool() ? kLargestReport : fuzz.ConsumeIntegralInRange<size_t>(0, 300);
    const std::string body = fuzz.ConsumeRandomLengthString(kLongestText);
    const std::string all = framed ? body + marker : body;
    const std::vector<std::string_view> reads = Reads(all, fuzz);

    const Streamed split = Stream(marker, all, reads, largest);
    size_t taken = 0;
    for (size_t i = 0; i < split.readsUsed; ++i) {
        taken += reads[i].size();
    }
    const Streamed once =
        Stream(marker, all, {std::string_view(all).substr(0, taken)}, kLargestReport);
    REQUIRE(all.compare(0, once.report.size(), once.report) == 0);
    REQUIRE(split.complete == once.complete);
    if (once.report.size() <= largest) {
        REQUIRE(split.report == once.report);
        REQUIRE(!split.lost);
    } else {
        // Whole pieces are dropped once over the limit.
        REQUIRE(split.lost);
        REQUIRE(split.report.size() <= largest);
        REQUIRE(once.report.compare(0, split.report.size(), split.report) == 0);
    }
    if (framed && (body.empty() || body.back() == '\n') &&
        FindMarkerLine(body, marker) == std::string::npos) {
        REQUIRE(split.complete);
        REQUIRE(taken == all.size());
        REQUIRE(once.report == body);
    }
}

// ReportDecoding -----------------------------------------------------------

// Pieces that cut no UTF-8 sequence show the bytes, and end in the code
// page, that the whole report in one piece does; ANSI once is ANSI after,
// and the piece that turns it says so. In a double-byte code page (lead
// bytes from the input, or code page 932's) no ANSI piece ends before the
// trail byte of its last lead byte, read from the report's start.
void ReportDecodingDecodesAlikeUnderAnySplit(FuzzedDataProvider& fuzz) {
    LeadBytes leads;
    if (fuzz.ConsumeBool()) {
        for (unsigned b = 0x81; b <= 0xFC; ++b) {
            leads.set(b, b <= 0x9F || b >= 0xE0);
        }
    } else {
        for (int i = fuzz.ConsumeIntegralInRange<int>(0, 8); i > 0; --i) {
            leads.set(fuzz.ConsumeIntegral<std::uint8_t>());
        }
    }
    const std::string all = fuzz.ConsumeRandomLengthString(kLongestText);
    ReportDecoding split(leads);
    std::string shown;
    bool ansi = false;
    for (const std::string_view piece : Reads(all, fuzz, true)) {
        const ReportDecoding::Piece next = split.Next(piece);
        REQUIRE(next.ansi || !ansi);
        REQUIRE(next.redecodeShown == (next.ansi && !ansi));
        REQUIRE(next.ansi || IsValidUtf8(next.bytes));
        ansi = next.ansi;
        shown += next.bytes;
        REQUIRE(!ansi || WholeCharacters(shown, leads) == shown.size());
    }
    REQUIRE(shown + std::string(split.Rest()) == all);
    ReportDecoding whole(leads);
    const ReportDecoding::Piece once = whole.Next(all);
    REQUIRE(shown == once.bytes);
    REQUIRE(ansi == once.ansi);
}

// ErrorStream --------------------------------------------------------------

// Requests' shares, each followed by its marker, come in reads cut anywhere,
// and each request takes its share at a moment the input chooses. One that
// takes after its marker came gets its share exactly; one that takes sooner
// gets whole lines; none ever gets a marker line.
void ErrorStreamSharesAlikeUnderAnySplit(FuzzedDataProvider& fuzz) {
    const size_t requests = fuzz.ConsumeIntegralInRange<size_t>(1, 4);
    const std::uint64_t first = fuzz.ConsumeIntegral<std::uint16_t>();
    std::vector<std::string> shares;
    std::vector<size_t> ends;
    std::string all;
    for (size_t i = 0; i < requests; ++i) {
        std::string share = fuzz.ConsumeRandomLengthString(kLongestText / 4);
        if (!share.empty() && share.back() != '\n') {
            share += "\r\n";
        }
        if (HasAnyMarkerLine(share)) {
            return;
        }
        shares.push_back(share);
        all += share + ReadyMarker(first + i);
        ends.push_back(all.size());
    }

    ErrorStream errors;
    size_t appended = 0;
    for (size_t request = 0; request < requests;) {
        const bool takeNow = appended == all.size() ||
                             (fuzz.remaining_bytes() > 0 && fuzz.ConsumeIntegralInRange(0, 3) == 0);
        if (!takeNow) {
            const size_t n = fuzz.remaining_bytes() > 0
                                 ? fuzz.ConsumeIntegralInRange<size_t>(0, all.size() - appended)
                                 : all.size() - appended;
            errors.Append(std::string_view(all).substr(appended, n));
            appended += n;
            continue;
        }
        const ErrorStream::Share share =
            errors.Take(ReadyMarker(first + request), std::chrono::milliseconds(0));
        REQUIRE(!share.lost);
        if (appended >= ends[request]) {
            REQUIRE(share.text == shares[request]);
        } else {
            REQUIRE(share.text.empty() || share.text.back() == '\n');
            REQUIRE(!HasAnyMarkerLine(share.text));
        }
        ++request;
    }
    // Nothing is left over past the last marker.
    errors.Append(std::string_view(all).substr(appended));
    errors.End();
    REQUIRE(errors.Take(ReadyMarker(first + requests), std::chrono::milliseconds(0)).text.empty());
}

// SearchText ---------------------------------------------------------------

// Case folding as in the native tests: the C library's, one unit for one.
std::vector<char16_t> gFold(65536);

bool IsWordCharacter(char16_t c) {
    return std::iswalnum(static_cast<wint_t>(c)) != 0 || c == u'_';
}

// ASCII as it is; other bytes pick units whose case or kind is a trap.
std::u16string Utf16(const std::string& bytes) {
    static constexpr char16_t kOthers[] = {
        u'\u00E4', u'\u00C4', u'\u0131', u'\u0130', u'\u00DF', u'\u017F', u'\u0416', u'\u0436',
        u'\u00E9', u'\u00C9', u'\u00B5', u'\u039C', u'\u03BC', 0xD83D,    0xDE00,    0xFFFF};
    std::u16string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x80 ? char16_t{byte} : kOthers[byte % std::size(kOthers)];
    }
    return text;
}

bool MatchesAt(std::u16string_view text, size_t at, const SearchRequest& request) {
    const size_t n = request.what.size();
    for (size_t k = 0; k < n; ++k) {
        const char16_t a = text[at + k];
        const char16_t b = request.what[k];
        if (request.matchCase ? a != b : gFold[a] != gFold[b]) {
            return false;
        }
    }
    return !request.wholeWord || ((at == 0 || !IsWordCharacter(text[at - 1])) &&
                                  (at + n == text.size() || !IsWordCharacter(text[at + n])));
}

// What is found is a match, and the one a plain look at every place finds:
// down, the first from the selection's end, else the first; up, the last
// before the selection's start, else the last.
void SearchTextFindsTheNextMatch(FuzzedDataProvider& fuzz) {
    const std::u16string what = Utf16(fuzz.ConsumeRandomLengthString(8));
    const std::u16string text = Utf16(fuzz.ConsumeRandomLengthString(512));
    const size_t most = text.size() + 2;
    const TextRange selection{fuzz.ConsumeIntegralInRange<size_t>(0, most),
                              fuzz.ConsumeIntegralInRange<size_t>(0, most)};
    SearchRequest request{what};
    request.down = fuzz.ConsumeBool();
    request.matchCase = fuzz.ConsumeBool();
    request.wholeWord = fuzz.ConsumeBool();

    std::optional<size_t> firstAfter, firstOfAll, lastBefore, lastOfAll;
    for (size_t at = 0; !what.empty() && at + what.size() <= text.size(); ++at) {
        if (!MatchesAt(text, at, request)) {
            continue;
        }
        if (!firstOfAll) {
            firstOfAll = at;
        }
        if (!firstAfter && at >= selection.end) {
            firstAfter = at;
        }
        if (at < selection.start) {
            lastBefore = at;
        }
        lastOfAll = at;
    }
    const std::optional<size_t> expected = request.down ? (firstAfter ? firstAfter : firstOfAll)
                                                        : (lastBefore ? lastBefore : lastOfAll);

    const std::optional<TextRange> found =
        SearchText(text, selection, request, {gFold.data(), IsWordCharacter});
    REQUIRE(found.has_value() == expected.has_value());
    if (found) {
        REQUIRE(found->end - found->start == what.size());
        REQUIRE(MatchesAt(text, found->start, request));
        REQUIRE(found->start == *expected);
    }
}

// NextPieceLength ----------------------------------------------------------

// Whatever the clock said of the appends, and however much the box holds,
// the next piece is at least the least piece and at most the larger of the
// largest piece and a 32nd of the box; what the fitted costs tell of the
// text in the box is a number, never less than none.
void PieceLengthStaysWithinItsBounds(FuzzedDataProvider& fuzz) {
    static constexpr double kOdd[] = {0.0,
                                      -0.0,
                                      -1.0,
                                      1e-300,
                                      1e300,
                                      std::numeric_limits<double>::denorm_min(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::quiet_NaN()};
    const auto seconds = [&fuzz] {
        if (fuzz.ConsumeBool()) {
            return kOdd[fuzz.ConsumeIntegralInRange<size_t>(0, std::size(kOdd) - 1)];
        }
        double any = 0;
        const auto bits = fuzz.ConsumeIntegral<std::uint64_t>();
        std::memcpy(&any, &bits, sizeof bits);
        return any;
    };
    AppendCosts costs;
    for (int i = fuzz.ConsumeIntegralInRange<int>(0, 8); i > 0; --i) {
        const size_t length = fuzz.ConsumeIntegral<std::uint32_t>();
        costs.Add(length, fuzz.ConsumeIntegral<std::uint32_t>(), seconds(), fuzz.ConsumeBool());
    }
    const size_t box = fuzz.ConsumeIntegral<size_t>();
    const std::optional<double> growing = costs.Growing(box);
    REQUIRE(!growing || *growing >= 0);
    const bool hasLast = fuzz.ConsumeBool();
    AppendCost last{fuzz.ConsumeIntegral<size_t>(), seconds()};
    const std::optional<double> told =
        fuzz.ConsumeBool() ? std::optional<double>(seconds()) : growing;
    const size_t length = NextPieceLength(hasLast ? &last : costs.Last(), box, told);
    REQUIRE(length > 0);
    REQUIRE(length >= kSmallestPiece);
    REQUIRE(length <= std::max(kLargestPiece, box / 32));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) {
        std::abort();
    }
    for (size_t c = 0; c < gFold.size(); ++c) {
        gFold[c] = static_cast<char16_t>(std::towupper(static_cast<wint_t>(c)));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    FuzzedDataProvider fuzz(data + 1, size - 1);
    switch (static_cast<std::uint8_t>(data[0] - '0') % 5) {
    case 0:
        ReportStreamReleasesAlikeUnderAnySplit(fuzz);
        break;
    case 1:
        ReportDecodingDecodesAlikeUnderAnySplit(fuzz);
        break;
    case 2:
        ErrorStreamSharesAlikeUnderAnySplit(fuzz);
        break;
    case 3:
        SearchTextFindsTheNextMatch(fuzz);
        break;
    default:
        PieceLengthStaysWithinItsBounds(fuzz);
        break;
    }
    return 0;
}
