// Run only by the long_program_path script, from a copy of this program in a
// folder deeper than MAX_PATH with the stand-in beside it as exiftool.exe.
#include "harness.h"

#include "report/show_error.h"

namespace {

std::vector<Box> boxes;

void RecordBox(const std::string& text, const std::string& caption) {
    boxes.push_back({text, caption});
}

TEST(LongProgramPath, DISABLED_ToolBesideTheProgramStarts) {
    const std::string expected = EnvironmentText(L"METADROP_EXPECTED_PROGRAM_PATH");
    ASSERT_GT(expected.size(), 260u);
    EXPECT_EQ(ProgramPath(), expected);

    SetMessageSink(RecordBox);
    if (EnvironmentText(L"METADROP_WINE") == "10") {
        // Wine's CreateProcessW turns the short form back into the long path
        // in a MAX_PATH buffer, which that path does not fit. Wine 8 starts
        // the tool all the same; Wine 10 starts nothing from this deep, and
        // the program must say so.
        EXPECT_EQ(StartExifTool(), 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Error");
        EXPECT_EQ(boxes[0].text.rfind("E07 CreateProcess failed with error ", 0), 0u)
            << boxes[0].text;
        SetMessageSink(nullptr);
        return;
    }
    ASSERT_EQ(StartExifTool(), 1) << ::testing::PrintToString(boxes);
    std::string report;
    const ExchangeEnd end =
        ExchangeWithExifTool({"C:\\a.jpg"}, [&](std::string_view piece) { report += piece; });
    EXPECT_EQ(report, FakeReportFor("C:\\a.jpg"));
    EXPECT_TRUE(end.failures.empty());
    StopExifTool();
    SetMessageSink(nullptr);
    EXPECT_EQ(boxes, std::vector<Box>());
}

} // namespace
