// A tool that dies, hangs or will not stop: the driver reports and returns.
#include "harness.h"

#include <future>

#include "driver/exiftool.h"
#include "report/messages.h"

namespace {

constexpr unsigned long kBrokenPipe = 109;
constexpr unsigned long kInvalidHandle = 6;
// Stopping pauses 2 s; anything near this bound is a hang.
constexpr std::chrono::seconds kStopBound{15};

std::vector<std::string> Labels(const std::vector<Box>& boxes) {
    std::vector<std::string> labels;
    for (const Box& box : boxes) {
        labels.push_back(LabelOf(box));
    }
    return labels;
}

class ToolFailures : public DriverTest {
  protected:
    // Waits until the tools of this test have ended; false if they did not.
    bool ToolsEnd() {
        for (int i = 0; i < 100; ++i) {
            if (ProcessesUnder(Folder()).empty()) {
                return true;
            }
            Sleep(100);
        }
        return false;
    }
};

TEST_F(ToolFailures, DeadToolGivesReadThenWriteFailuresAndStillStops) {
    const std::string tool = PlaceStandIn("tool\\exiftool.exe");
    ASSERT_EQ(Start(tool), 1);

    EXPECT_EQ(Exchange({"C:\\a.jpg", "fake-die"}), "{error}");
    std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(LabelOf(boxes[0]), labels::kReadFile);
    EXPECT_EQ(CodeOf(boxes[0]), kBrokenPipe);
    EXPECT_EQ(boxes[0].caption, kErrorCaption);
    EXPECT_TRUE(ToolsEnd());

    // One box for the first line that cannot be written, one for the read.
    ClearBoxes();
    EXPECT_EQ(Exchange({"C:\\b.jpg", "C:\\c.jpg"}), "{error}");
    EXPECT_EQ(Labels(Boxes()), (std::vector<std::string>{std::string(labels::kWriteFile),
                                                         std::string(labels::kReadFile)}));

    ClearBoxes();
    EXPECT_LT(Stop(), kStopBound);
    EXPECT_EQ(Labels(Boxes()), (std::vector<std::string>{std::string(labels::kWriteFile),
                                                         std::string(labels::kWriteFile)}));

    // The pipes are closed now, not merely broken.
    ClearBoxes();
    EXPECT_FALSE(WriteToExifTool("x\r\n"));
    boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(CodeOf(boxes[0]), kInvalidHandle);

    // And a new start works as the first did.
    ClearBoxes();
    ASSERT_EQ(Start(tool), 1);
    EXPECT_EQ(Exchange({"C:\\d.jpg"}), FakeReportFor("C:\\d.jpg"));
    Stop();
    EXPECT_EQ(Boxes(), std::vector<Box>());
}

TEST_F(ToolFailures, ToolThatIgnoresTheStopLinesEndsWhenItsInputCloses) {
    ASSERT_EQ(Start(PlaceStandIn("tool\\exiftool.exe")), 1);
    EXPECT_EQ(Exchange({"fake-ignore-stop", "C:\\a.jpg"}), FakeReportFor("C:\\a.jpg"));
    EXPECT_LT(Stop(), kStopBound);
    EXPECT_EQ(Boxes(), std::vector<Box>());
    EXPECT_TRUE(ToolsEnd());
}

TEST_F(ToolFailures, StopReturnsFromAToolThatHangsAndEndsIt) {
    ASSERT_EQ(Start(PlaceStandIn("tool\\exiftool.exe")), 1);
    // The request alone: its report never comes.
    ASSERT_TRUE(WriteToExifTool("fake-hang\r\n-execute1\r\n"));
    Sleep(300);
    EXPECT_LT(Stop(), kStopBound);
    EXPECT_EQ(Boxes(), std::vector<Box>());
    // It would not stop by itself; it must not outlive the program.
    EXPECT_TRUE(ToolsEnd());
}

TEST_F(ToolFailures, ExchangeWithAHungToolEndsWhenTheToolIsKilled) {
    ASSERT_EQ(Start(PlaceStandIn("tool\\exiftool.exe")), 1);
    std::future<std::string> report =
        std::async(std::launch::async, [] { return ExchangeWithExifTool({"fake-hang"}).report; });
    EXPECT_EQ(report.wait_for(std::chrono::seconds(1)), std::future_status::timeout);

    KillProcessesUnder(Folder());
    ASSERT_EQ(report.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(report.get(), "{error}");
    const std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(LabelOf(boxes[0]), labels::kReadFile);
    EXPECT_EQ(CodeOf(boxes[0]), kBrokenPipe);
    Stop();
}

} // namespace
