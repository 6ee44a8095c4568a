// Reports of every shape the tool can give, each collected whole and alone.
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
    EXPECT_EQ(Exchange({"fake-stderr-1048576", "C:\\e.jpg"}), FakeReportFor("C:\\e.jpg"));
    EXPECT_EQ(Exchange({"fake-stderr-1048576", "C:\\f.jpg"}), FakeReportFor("C:\\f.jpg"));
}

} // namespace
