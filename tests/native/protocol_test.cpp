#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/utf8.h"
#include "driver/protocol.h"
#include "report/messages.h"

namespace {

// Feeds reads one by one, as the pipe would give them; returns what they
// released, after each read and in all, and how many reads the stream took.
struct Outcome {
    bool complete = false;
    bool lost = false;
    size_t readsUsed = 0;
    std::string report;
    std::vector<std::string> releases;
};

Outcome Collect(const std::string& marker, const std::vector<std::string>& reads,
                size_t largest = kLargestReport) {
    ReportStream stream(marker, 32768, largest);
    Outcome outcome;
    for (const std::string& read : reads) {
        ++outcome.readsUsed;
        outcome.releases.emplace_back(stream.Append(read));
        outcome.report += outcome.releases.back();
        if (stream.Complete()) {
            outcome.complete = true;
            break;
        }
    }
    outcome.lost = stream.Lost();
    return outcome;
}

const std::string kMarker = ReadyMarker(4711);

TEST(ReadyMarker, IsNumberedAndEndsInCrLf) {
    EXPECT_EQ(ReadyMarker(4711), "{ready4711}\r\n");
    EXPECT_EQ(ReadyMarker(18446744073709551615ULL), "{ready18446744073709551615}\r\n");
}

TEST(ReportStream, ReleasesAllButTheMarkerAndACutCharacterAtEveryCut) {
    // "résumé", "Ж" and an emoji: sequences of two, two and four bytes.
    const std::string report =
        "File Name : r\xC3\xA9sum\xC3\xA9.jpg\r\nTitle : \xD0\x96 \xF0\x9F\x98\x80\r\n";
    const std::string all = report + kMarker;
    for (size_t cut = 1; cut < all.size(); ++cut) {
        const Outcome outcome = Collect(kMarker, {all.substr(0, cut), all.substr(cut)});
        ASSERT_TRUE(outcome.complete) << "cut at " << cut;
        EXPECT_EQ(outcome.readsUsed, 2u) << "cut at " << cut;
        EXPECT_EQ(outcome.report, report) << "cut at " << cut;
        // The first read gives up all it holds of the report, but for a
        // character it cuts; nothing of the marker.
        const std::string before = report.substr(0, cut);
        const std::string expected =
            cut >= report.size() ? report : before.substr(0, cut - IncompleteUtf8Tail(before));
        EXPECT_EQ(outcome.releases[0], expected) << "cut at " << cut;
    }
}

TEST(ReportStream, ALineThatReadsAsTheMarkersStartIsHeldUntilTheNextReadTells) {
    const Outcome outcome = Collect(kMarker, {"a\r\n{ready47", "12}\r\nb\r\n{rea", "dy4711}\r\n"});
    ASSERT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.releases, (std::vector<std::string>{"a\r\n", "{ready4712}\r\nb\r\n", ""}));
    // Inside a line it is report at once.
    EXPECT_EQ(Collect(kMarker, {"Comment : {ready47"}).releases[0], "Comment : {ready47");
}

TEST(ReportStream, MarkerFollowedByMoreBytesInTheSameReadDoesNotEnd) {
    const Outcome outcome =
        Collect(kMarker, {"first\r\n" + kMarker + "tail\r\n", "more\r\n" + kMarker});
    ASSERT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.readsUsed, 2u);
    EXPECT_EQ(outcome.report, "first\r\n" + kMarker + "tail\r\nmore\r\n");
}

TEST(ReportStream, EmptyReadsChangeNothing) {
    const Outcome outcome = Collect(kMarker, {"", "a\r\n", "", "", kMarker});
    ASSERT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.readsUsed, 5u);
    EXPECT_EQ(outcome.report, "a\r\n");
    EXPECT_TRUE(Collect(kMarker, {kMarker}).complete);
    EXPECT_EQ(Collect(kMarker, {kMarker}).report, "");
}

TEST(ReportStream, ReportFarLargerThanOneReadIsReleasedWhole) {
    std::string report;
    while (report.size() < 5 * 32768 + 17) {
        report += "Line " + std::to_string(report.size()) + " : value\r\n";
    }
    const std::string all = report + kMarker;
    std::vector<std::string> reads;
    for (size_t at = 0; at < all.size(); at += 32768) {
        reads.push_back(all.substr(at, 32768));
    }
    const Outcome outcome = Collect(kMarker, reads);
    ASSERT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.readsUsed, reads.size());
    EXPECT_EQ(outcome.report, report);
}

TEST(ReportStream, ShortTextNeverMatches) {
    for (size_t n = 0; n < kMarker.size(); ++n) {
        EXPECT_FALSE(Collect(kMarker, {kMarker.substr(kMarker.size() - n)}).complete) << n;
    }
}

TEST(ReportStream, MarkersAFileCanCarryDoNotEndTheReport) {
    // A comment that ends exactly where a read ends, once with the plain
    // marker, once with a guessed number, once with the right number inside
    // a line: none of them ends the exchange.
    const std::string plain = "Comment : AAAA{ready}\r\n";
    const std::string guessed = "Comment : {ready1234}\r\n";
    const std::string insideLine = "Comment : AAAA" + kMarker;
    for (const std::string& injected : {plain, guessed, insideLine}) {
        const Outcome outcome = Collect(kMarker, {injected, "Size : 1\r\n" + kMarker});
        ASSERT_TRUE(outcome.complete) << injected;
        EXPECT_EQ(outcome.readsUsed, 2u) << injected;
        EXPECT_EQ(outcome.report, injected + "Size : 1\r\n") << injected;
    }
}

TEST(ReportStream, ReportOverTheLimitIsCutButItsMarkerStillEndsIt) {
    // The limit stands in for memory running out: what fits is released,
    // the rest of the report is read and dropped, and the stream stays in
    // step, the marker split anywhere and one inside a line still not taken
    // for the end.
    const std::string report = "Comment : AAAA" + kMarker + std::string(300, 'x') + "\r\n";
    const std::string all = report + kMarker;
    for (size_t largest : {size_t{0}, size_t{10}, report.size() - 1}) {
        for (size_t cut = 1; cut < all.size(); ++cut) {
            const Outcome outcome =
                Collect(kMarker, {all.substr(0, cut), all.substr(cut)}, largest);
            ASSERT_TRUE(outcome.complete) << largest << " " << cut;
            EXPECT_TRUE(outcome.lost) << largest << " " << cut;
            EXPECT_LE(outcome.report.size(), largest) << largest << " " << cut;
            EXPECT_EQ(report.compare(0, outcome.report.size(), outcome.report), 0);
        }
    }
    const Outcome fits = Collect(kMarker, {all}, report.size());
    EXPECT_TRUE(fits.complete);
    EXPECT_FALSE(fits.lost);
    EXPECT_EQ(fits.report, report);
    EXPECT_TRUE(Collect(kMarker, {kMarker}, 0).complete);
}

TEST(ReportStream, MarkerOnlyWithLfIsNotRecognised) {
    EXPECT_FALSE(Collect(kMarker, {"a\r\n{ready4711}\n"}).complete);
    EXPECT_FALSE(Collect(kMarker, {"a\r\n{READY4711}\r\n"}).complete);
}

TEST(RequestLines, CharsetFirstThenPathsInOrderThenErrorMarkerAndNumberedExecute) {
    const std::vector<std::string> lines =
        RequestLines({"C:\\b.jpg", "C:\\a dir", "C:\\b.jpg", "C:\\\xD0\xB6.png"}, 99);
    const std::vector<std::string> expected = {
        "-charset\r\n",  "filename=utf8\r\n", "C:\\b.jpg\r\n",
        "C:\\a dir\r\n", "C:\\b.jpg\r\n",     "C:\\\xD0\xB6.png\r\n",
        "-echo4\r\n",    "{ready99}\r\n",     "-execute99\r\n"};
    EXPECT_EQ(lines, expected);
}

TEST(RequestLines, NoPathsStillExecutes) {
    const std::vector<std::string> expected = {"-charset\r\n", "filename=utf8\r\n", "-echo4\r\n",
                                               "{ready7}\r\n", "-execute7\r\n"};
    EXPECT_EQ(RequestLines({}, 7), expected);
}

TEST(RequestLines, PathThatWouldBreakTheLineProtocolIsLeftOutAndNamed) {
    // A line break would make the tool read the rest as an option.
    const std::vector<std::string> paths = {"C:\\x\n-delete", "C:\\ok", "C:\\y\r"};
    const std::vector<std::string> expected = {"-charset\r\n", "filename=utf8\r\n",
                                               "C:\\ok\r\n",   "-echo4\r\n",
                                               "{ready1}\r\n", "-execute1\r\n"};
    EXPECT_EQ(RequestLines(paths, 1), expected);
    const std::string prefix(kLeftOutText);
    EXPECT_EQ(LeftOutNotes(paths), prefix + "C:\\x<LF>-delete\r\n" + prefix + "C:\\y<CR>\r\n");
    EXPECT_EQ(LeftOutNotes({"C:\\ok"}), "");
}

struct Writes {
    std::vector<std::string> calls;
    size_t takes = 3;     // bytes each call takes at most
    size_t failAt = 1000; // the call that fails
    bool Run(std::string_view bytes, size_t largest) {
        return WriteWhole(bytes, largest, [this](std::string_view piece) -> std::optional<size_t> {
            calls.emplace_back(piece);
            if (calls.size() == failAt) {
                return std::nullopt;
            }
            return std::min(piece.size(), takes);
        });
    }
};

TEST(WriteWhole, WritesEveryByteInOrderInPiecesOneCallTakes) {
    Writes w;
    ASSERT_TRUE(w.Run("abcdefghij", 4));
    const std::vector<std::string> expected = {"abcd", "defg", "ghij", "j"};
    EXPECT_EQ(w.calls, expected);

    Writes empty;
    ASSERT_TRUE(empty.Run("", 4));
    EXPECT_EQ(empty.calls, std::vector<std::string>{""});
}

TEST(WriteWhole, ARequestGoesToTheToolInPiecesOfAtMost64KiB) {
    std::string request;
    for (int i = 0; request.size() < 3 * kLargestWrite + 100; ++i) {
        request += "C:\\photos\\" + std::to_string(i) + ".jpg\r\n";
    }
    Writes w;
    w.takes = kLargestWrite;
    ASSERT_TRUE(w.Run(request, kLargestWrite));
    std::string joined;
    for (const std::string& call : w.calls) {
        EXPECT_LE(call.size(), 64u * 1024);
        joined += call;
    }
    EXPECT_EQ(w.calls.size(), 4u);
    EXPECT_EQ(joined, request);
}

TEST(WriteWhole, StopsAtTheFirstFailureAndAtACallThatTakesNothing) {
    Writes failing;
    failing.failAt = 2;
    EXPECT_FALSE(failing.Run("abcdefghij", 4));
    EXPECT_EQ(failing.calls.size(), 2u);

    Writes stuck;
    stuck.takes = 0;
    EXPECT_FALSE(stuck.Run("abc", 4));
    EXPECT_EQ(stuck.calls.size(), 1u);
}

TEST(StopLines, AreStayOpenThenFalse) {
    EXPECT_EQ(std::string(kStopLines[0]), "-stay_open\r\n");
    EXPECT_EQ(std::string(kStopLines[1]), "False\r\n");
}

} // namespace
