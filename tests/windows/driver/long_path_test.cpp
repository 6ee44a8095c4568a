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
    ASSERT_EQ(StartExifTool(), 1) << ::testing::PrintToString(boxes);
    EXPECT_EQ(ExchangeWithExifTool({"C:\\a.jpg"}).report, FakeReportFor("C:\\a.jpg"));
    StopExifTool();
    SetMessageSink(nullptr);
    EXPECT_EQ(boxes, std::vector<Box>());
}

} // namespace
