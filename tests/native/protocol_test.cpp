#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "driver/protocol.h"
#include "report/messages.h"

namespace {

// Feeds reads one by one, as the pipe would give them; returns the report
// and how many reads it took, or nothing if the collector never completed.
struct Outcome {
    bool complete = false;
    size_t readsUsed = 0;
    std::string report;
};

Outcome Collect(const std::string& marker, const std::vector<std::string>& reads,
                size_t largest = kLargestReport) {
    ReportCollector collector(marker, largest);
    Outcome outcome;
    for (const std::string& read : reads) {
        ++outcome.readsUsed;
        if (collector.Append(read)) {
            outcome.complete = true;
            outcome.report = collector.TakeReport();
            break;
        }
    }
    return outcome;
}

const std::string kMarker = ReadyMarker(4711);

TEST(ReadyMarker, IsNumberedAndEndsInCrLf) {
    EXPECT_EQ(ReadyMarker(4711), "{ready4711}\r\n");
    EXPECT_EQ(ReadyMarker(18446744073709551615ULL), "{ready18446744073709551615}\r\n");
}

TEST(ReportCollector, MarkerSplitAtEveryOffsetIsFound) {
    const std::string report = "File Name : a.jpg\r\nImage Size : 1x1\r\n";
    const std::string all = report + kMarker;
    for (size_t cut = 1; cut < all.size(); ++cut) {
        const Outcome outcome = Collect(kMarker, {all.substr(0, cut), all.substr(cut)});
        ASSERT_TRUE(outcome.complete) << "cut at " << cut;
        EXPECT_EQ(outcome.readsUsed, 2u) << "cut at " << cut;
        EXPECT_EQ(outcome.report, report) << "cut at " << cut;
    }
}

TEST(ReportCollector, MarkerFollowedByMoreBytesInTheSameReadDoesNotEnd) {
    const Outcome outcome =
        Collect(kMarker, {"first\r\n" + kMarker + "tail\r\n", "more\r\n" + kMarker});
    ASSERT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.readsUsed, 2u);
    EXPECT_EQ(outcome.report, "first\r\n" + kMarker + "tail\r\nmore\r\n");
}

TEST(ReportCollector, EmptyReadsChangeNothing) {
    const Outcome outcome = Collect(kMarker, {"", "a\r\n", "", "", kMarker});
    ASSERT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.readsUsed, 5u);
    EXPECT_EQ(outcome.report, "a\r\n");
}

TEST(ReportCollector, EmptyReportGivesEmptyText) {
    const Outcome outcome = Collect(kMarker, {kMarker});
    ASSERT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.report, "");
}

TEST(ReportCollector, ReportFarLargerThanOneReadIsCollectedWhole) {
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

TEST(ReportCollector, ShortTextNeverMatches) {
    for (size_t n = 0; n < kMarker.size(); ++n) {
        EXPECT_FALSE(Collect(kMarker, {kMarker.substr(kMarker.size() - n)}).complete) << n;
    }
}

TEST(ReportCollector, MarkersAFileCanCarryDoNotEndTheReport) {
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

TEST(ReportCollector, ReportOverTheLimitIsDroppedButItsMarkerStillEndsIt) {
    // The limit stands in for memory running out: the rest of the report is
    // read and dropped, and the stream stays in step, the marker split
    // anywhere and one inside a line still not taken for the end.
    const std::string report = "Comment : AAAA" + kMarker + std::string(300, 'x') + "\r\n";
    const std::string all = report + kMarker;
    for (size_t largest : {size_t{0}, size_t{10}, report.size()}) {
        for (size_t cut = 1; cut < all.size(); ++cut) {
            ReportCollector collector(kMarker, largest);
            ASSERT_FALSE(collector.Append(all.substr(0, cut))) << largest << " " << cut;
            ASSERT_TRUE(collector.Append(all.substr(cut))) << largest << " " << cut;
            EXPECT_TRUE(collector.Lost());
            EXPECT_EQ(collector.TakeReport(), "");
        }
    }
    const Outcome fits = Collect(kMarker, {all}, all.size());
    EXPECT_TRUE(fits.complete);
    EXPECT_EQ(fits.report, report);
    EXPECT_TRUE(Collect(kMarker, {kMarker}, 0).complete);
}

TEST(ReportCollector, MarkerOnlyWithLfIsNotRecognised) {
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
