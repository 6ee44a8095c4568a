// The exact bytes the tool is started with and sent.
#include "harness.h"

#include <regex>

namespace {

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
