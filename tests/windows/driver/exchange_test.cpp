// The exact bytes a request is, and reports of every shape the tool can
// give, each collected whole and alone.
#include "harness.h"

#include <regex>

namespace {

class StandInReports : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        ASSERT_EQ(Start(PlaceStandIn("tool\\exiftool.exe")), 1);
    }
    void TearDown() override {
        // A fault in a report shows as a box too.
        EXPECT_EQ(Boxes(), std::vector<Box>());
        DriverTest::TearDown();
    }

    // The number of the last request the tool was sent.
    std::string LastRequestNumber() const {
        const std::string input = LoggedInput();
        std::smatch match;
        std::string last;
        for (auto at = input.cbegin();
             std::regex_search(at, input.cend(), match, std::regex("-execute([0-9]+)\r\n"));
             at = match[0].second) {
            last = match[1];
        }
        return last;
    }
};

TEST_F(StandInReports, ManyMegabytesArriveWholeAndInOrder) {
    constexpr size_t kBig = 8000000;
    const std::string report = Exchange({"C:\\a.jpg", "fake-big-8000000.txt", "C:\\b.jpg"});
    const std::string head = FakeReportFor("C:\\a.jpg");
    const std::string tail = FakeReportFor("C:\\b.jpg");
    ASSERT_EQ(report.size(), head.size() + kBig + tail.size());
    EXPECT_EQ(report.compare(0, head.size(), head), 0);
    EXPECT_EQ(report.compare(report.size() - tail.size(), tail.size(), tail), 0);

    // Numbered 64-byte lines: a lost, doubled or swapped read breaks the count.
    size_t wrongLines = 0;
    for (size_t line = 0; (line + 1) * 64 <= kBig; ++line) {
        const std::string expected = "Line " + std::to_string(line) + " : ";
        if (report.compare(head.size() + line * 64, expected.size(), expected) != 0) {
            ++wrongLines;
        }
    }
    EXPECT_EQ(wrongLines, 0u);

    // Nothing of it is left over for the next request.
    EXPECT_EQ(Exchange({"C:\\c.jpg"}), FakeReportFor("C:\\c.jpg"));
}

TEST_F(StandInReports, MarkerSplitOverTwoReadsIsFoundAtEveryOffset) {
    // Wider than any marker, so every cut inside one is made.
    for (int offset = 0; offset <= 26; ++offset) {
        SCOPED_TRACE("split after " + std::to_string(offset) + " bytes of the marker");
        EXPECT_EQ(Exchange({"fake-split-" + std::to_string(offset), "C:\\d.jpg"}),
                  FakeReportFor("C:\\d.jpg"));
    }
}

TEST_F(StandInReports, MarkerTextInsideTheReportDoesNotEndIt) {
    const std::string report = Exchange({"fake-inject"});
    EXPECT_EQ(report,
              "{ready}\r\nComment : {ready" + LastRequestNumber() + "}\r\nAfter : done\r\n");
}

TEST_F(StandInReports, BytesComeBackUnchanged) {
    EXPECT_EQ(Exchange({"fake-zero"}), std::string("before\0after\r\n", 14));
    EXPECT_EQ(Exchange({"fake-utf8"}), "Title : r\xC3\xA9sum\xC3\xA9 \xD0\x96\r\n");
    EXPECT_EQ(Exchange({"fake-ansi"}), "Title : r\xE9sum\xE9\r\n");
}

TEST_F(StandInReports, FloodOnStandardErrorDoesNotStopTheAnswer) {
    // Far more than a pipe holds: without the drain the tool would block.
    for (const char* file : {"C:\\e.jpg", "C:\\f.jpg"}) {
        const ToolAnswer answer = Answer({"fake-stderr-1048576", file});
        EXPECT_EQ(answer.report, FakeReportFor(file));
        EXPECT_EQ(answer.errors.size(), 1048576u);
        EXPECT_EQ(answer.errors.compare(0, 10, "Line 0 : x"), 0);
    }
}

TEST_F(StandInReports, EachRequestGetsTheErrorsTheToolWroteAboutIt) {
    const ToolAnswer first = Answer({"C:\\a.jpg", "C:\\fake-error-gone.jpg"});
    EXPECT_EQ(first.report, FakeReportFor("C:\\a.jpg"));
    EXPECT_EQ(first.errors, "Error: File not found - C:\\fake-error-gone.jpg\r\n");
    EXPECT_FALSE(first.lost);
    const ToolAnswer second = Answer({"C:\\b.jpg"});
    EXPECT_EQ(second.report, FakeReportFor("C:\\b.jpg"));
    EXPECT_EQ(second.errors, "");
}

TEST_F(StandInReports, ErrorsThatComeTooLateAreNotTakenForTheNextRequests) {
    // The tool writes a last error line and marks the end of its errors 3 s
    // after the report: the drop waits 2 s and takes what came by then, and
    // the next request skips the rest.
    const ToolAnswer first = Answer({"fake-error-1", "fake-late-error-3000", "C:\\a.jpg"});
    EXPECT_EQ(first.report, FakeReportFor("C:\\a.jpg"));
    EXPECT_EQ(first.errors, "Error: File not found - fake-error-1\r\n");
    const ToolAnswer second = Answer({"fake-error-2", "C:\\b.jpg"});
    EXPECT_EQ(second.report, FakeReportFor("C:\\b.jpg"));
    EXPECT_EQ(second.errors, "Error: File not found - fake-error-2\r\n");
}

TEST_F(StandInReports, PiecesAreHandedOverAsTheToolWritesThem) {
    // The second file's report comes 3 s after the first's; the first is
    // there to take long before, and nothing of the marker ever is.
    ASSERT_NE(BeginExchange({"C:\\a.jpg", "fake-pause-3000", "C:\\b.jpg", "fake-split-9-1000"}),
              nullptr);
    ASSERT_EQ(WaitForSingleObject(ExchangeInProgress(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    ToolAnswer answer;
    const ExchangeOutput first = TakeExchangeOutput();
    EXPECT_EQ(first.pieces, FakeReportFor("C:\\a.jpg"));
    EXPECT_FALSE(first.end.has_value());
    answer.report = first.pieces;
    answer = AnswerSoFar(answer);
    EXPECT_EQ(answer.report, FakeReportFor("C:\\a.jpg") + FakeReportFor("C:\\b.jpg"));
    EXPECT_TRUE(answer.failures.empty());
}

TEST_F(StandInReports, WhatIsTooLargeToHoldIsDroppedAndTheNextAnswerIsInStep) {
    // The limit stands in for memory running out mid-report: what came
    // before it is handed over, the rest is read and dropped.
    const size_t normal = SetLargestReport(100000);
    const ToolAnswer dropped = Answer({"fake-big-3000000", "fake-error-x"});
    // A flood of error text over the limit is dropped alone.
    const ToolAnswer flooded = Answer({"fake-stderr-1048576", "C:\\a.jpg"});
    SetLargestReport(normal);
    EXPECT_TRUE(dropped.lost);
    EXPECT_GT(dropped.report.size(), 0u);
    EXPECT_LE(dropped.report.size(), 100000u);
    EXPECT_EQ(dropped.report.compare(0, 10, "Line 0 : x"), 0);
    EXPECT_EQ(dropped.errors, "");
    EXPECT_FALSE(flooded.lost);
    EXPECT_TRUE(flooded.errorsLost);
    EXPECT_EQ(flooded.report, FakeReportFor("C:\\a.jpg"));
    EXPECT_EQ(flooded.errors, "");
    const ToolAnswer next = Answer({"fake-error-y", "C:\\b.jpg"});
    EXPECT_FALSE(next.lost || next.errorsLost);
    EXPECT_EQ(next.report, FakeReportFor("C:\\b.jpg"));
    EXPECT_EQ(next.errors, "Error: File not found - fake-error-y\r\n");
}

class ToolProtocol : public DriverTest {};

TEST_F(ToolProtocol, StartsWithTheStayOpenArgumentsOnly) {
    const std::string tool = PlaceStandIn("tool\\exiftool.exe");
    ASSERT_EQ(Start(tool), 1);
    Stop();
    EXPECT_EQ(LoggedArgs(), "exe=" + tool + "\narg=-stay_open\narg=True\narg=-@\narg=-\n");
}

TEST_F(ToolProtocol, WritesEachRequestAndTheStopLinesExactly) {
    const std::vector<std::string> first = {"C:\\photos\\a b.jpg",
                                            "Z:\\x\\\xD0\xB4\xD0\xB2\xD0\xB0.png", // "два"
                                            "relative.tif"};
    const std::vector<std::string> second = {"D:\\-dash\\c.jpg"};
    ASSERT_EQ(Start(PlaceStandIn("tool\\exiftool.exe")), 1);
    std::string expectedFirst;
    for (const std::string& path : first) {
        expectedFirst += FakeReportFor(path);
    }
    EXPECT_EQ(Exchange(first), expectedFirst);
    EXPECT_EQ(Exchange(second), FakeReportFor(second[0]));
    Stop();
    EXPECT_EQ(Boxes(), std::vector<Box>());

    const std::regex request("-charset\r\nfilename=utf8\r\n"
                             "C:\\\\photos\\\\a b\\.jpg\r\n"
                             "Z:\\\\x\\\\\xD0\xB4\xD0\xB2\xD0\xB0\\.png\r\n"
                             "relative\\.tif\r\n"
                             "-echo4\r\n\\{ready([0-9]+)\\}\r\n-execute\\1\r\n"
                             "-charset\r\nfilename=utf8\r\n"
                             "D:\\\\-dash\\\\c\\.jpg\r\n"
                             "-echo4\r\n\\{ready([0-9]+)\\}\r\n-execute\\2\r\n"
                             "-stay_open\r\nFalse\r\n");
    const std::string input = LoggedInput();
    std::smatch numbers;
    ASSERT_TRUE(std::regex_match(input, numbers, request)) << ::testing::PrintToString(input);
    // A number that repeats would let an old report end a new request.
    EXPECT_NE(numbers[1].str(), numbers[2].str());
}

} // namespace
