// Which file is started, that nothing else ever is, and that every way the
// tool ends is reported once and leaves nothing running.
#include "harness.h"

#include <chrono>
#include <optional>
#include <regex>

#include "common/win_text.h"
#include "driver/tool_session.h"
#include "report/messages.h"

namespace {

const Box kMissingTool{std::string(kMissingToolText), std::string(kMissingToolCaption)};
constexpr unsigned long kBrokenPipe = 109;
constexpr unsigned long kInvalidHandle = 6;
// Stopping pauses 2 s; anything near this bound is a hang.
constexpr std::chrono::seconds kStopBound{15};
// A stop that pauses takes at least this long, however fast the machine.
constexpr std::chrono::milliseconds kStopPause{2000};
const std::string kStopLinesText = "-stay_open\r\nFalse\r\n";

class ToolProcess : public DriverTest {
  protected:
    // The exe= lines of the log: every program that ran as the tool.
    std::vector<std::string> ProgramsThatRan() const {
        std::vector<std::string> programs;
        const std::string args = LoggedArgs();
        for (size_t at = 0; (at = args.find("exe=", at)) != std::string::npos;) {
            const size_t end = args.find('\n', at);
            programs.push_back(args.substr(at + 4, end - at - 4));
            at = end;
        }
        return programs;
    }

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

class ToolStart : public ToolProcess {};
class ToolFailures : public ToolProcess {};

TEST_F(ToolStart, MissingToolShowsOneBoxAndRunsNothing) {
    // Names a looser lookup would take for the tool.
    PlaceStandIn("exiftool");
    PlaceStandIn("exiftool.exe.exe");
    EXPECT_EQ(Start(Folder() + "\\exiftool.exe"), 0);
    EXPECT_EQ(Boxes(), std::vector<Box>{kMissingTool});
    EXPECT_FALSE(PathExists(LogFolder() + "\\args.txt"));
    EXPECT_TRUE(ProcessesUnder(Folder()).empty());
}

TEST_F(ToolStart, FolderNamedLikeTheToolIsAMissingTool) {
    PlaceStandIn("exiftool.exe\\exiftool.exe");
    EXPECT_EQ(Start(Folder() + "\\exiftool.exe"), 0);
    EXPECT_EQ(Boxes(), std::vector<Box>{kMissingTool});
    EXPECT_FALSE(PathExists(LogFolder() + "\\args.txt"));
}

TEST_F(ToolStart, SpacesInTheFolderNeverRunADecoy) {
    // What an unquoted command line would run first.
    PlaceStandIn("my.exe");
    PlaceStandIn("my tools\\x.exe");
    const std::string tool = PlaceStandIn("my tools\\x y\\exiftool.exe");
    ASSERT_EQ(Start(tool), 1);
    EXPECT_EQ(Exchange({"C:\\a.jpg"}), FakeReportFor("C:\\a.jpg"));
    Stop();
    EXPECT_EQ(ProgramsThatRan(), std::vector<std::string>{tool});
    EXPECT_EQ(Boxes(), std::vector<Box>());
}

TEST_F(ToolStart, NonAsciiFolderWorks) {
    // "Инструменты"
    const std::string tool = PlaceStandIn("\xD0\x98\xD0\xBD\xD1\x81\xD1\x82\xD1\x80\xD1\x83\xD0\xBC"
                                          "\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B\\exiftool.exe");
    ASSERT_EQ(Start(tool), 1);
    EXPECT_EQ(Exchange({"C:\\a.jpg"}), FakeReportFor("C:\\a.jpg"));
    Stop();
    EXPECT_EQ(ProgramsThatRan(), std::vector<std::string>{tool});
    EXPECT_EQ(Boxes(), std::vector<Box>());
}

TEST_F(ToolFailures, DeadToolFailsItsDropAndIsStartedAgainForTheNext) {
    const std::string tool = PlaceStandIn("tool\\exiftool.exe");
    ASSERT_EQ(Start(tool), 1);

    // What came before the tool died is kept, up to its last byte.
    const ToolAnswer died = Answer({"C:\\a.jpg", "fake-die"});
    EXPECT_EQ(died.report, FakeReportFor("C:\\a.jpg") + "======== partial\r\nFake Name : par");
    ASSERT_EQ(died.failures.size(), 1u);
    EXPECT_EQ(died.failures[0].label, labels::kReadFile);
    EXPECT_EQ(died.failures[0].code, kBrokenPipe);
    EXPECT_TRUE(ToolsEnd());
    EXPECT_FALSE(ExifToolRunning());

    // Asked again without a new start: the write fails, then the read.
    const ToolAnswer again = Answer({"C:\\b.jpg"});
    EXPECT_EQ(again.report, "");
    EXPECT_EQ(Labels(again.failures), (std::vector<std::string>{std::string(labels::kWriteFile),
                                                                std::string(labels::kReadFile)}));

    // Started again from the same place, with no box, it answers.
    ASSERT_EQ(RestartExifToolIfEnded(), 1);
    EXPECT_EQ(Exchange({"C:\\c.jpg"}), FakeReportFor("C:\\c.jpg"));
    EXPECT_EQ(ProgramsThatRan(), (std::vector<std::string>{tool, tool}));
    // A running tool is not started again.
    ASSERT_EQ(RestartExifToolIfEnded(), 1);
    EXPECT_EQ(ProgramsThatRan().size(), 2u);
    EXPECT_EQ(Boxes(), std::vector<Box>());

    // Closed, the pipes are not merely broken but gone.
    EXPECT_LT(Stop(), kStopBound);
    const std::optional<ToolFailure> late = WriteToExifTool("x\r\n");
    ASSERT_TRUE(late.has_value());
    EXPECT_EQ(late->code, kInvalidHandle);
}

TEST_F(ToolFailures, ToolThatHasEndedIsNeitherWrittenToNorWaitedForAtTheStop) {
    ASSERT_EQ(Start(PlaceStandIn("tool\\exiftool.exe")), 1);
    KillProcessesUnder(Folder());
    // No pause can take less than itself.
    EXPECT_LT(Stop(), kStopPause);
    EXPECT_EQ(Boxes(), std::vector<Box>());
}

TEST_F(ToolFailures, ToolRemovedMeanwhileGivesTheStartsOwnBoxAndATryAtTheNextDrop) {
    const std::string tool = PlaceStandIn("tool\\exiftool.exe");
    ASSERT_EQ(Start(tool), 1);
    KillProcessesUnder(Folder());
    ASSERT_TRUE(DeleteFileW(Widen(tool).c_str()));
    EXPECT_EQ(RestartExifToolIfEnded(), 0);
    EXPECT_EQ(Boxes(), std::vector<Box>{kMissingTool});

    ClearBoxes();
    PlaceStandIn("tool\\exiftool.exe");
    ASSERT_EQ(RestartExifToolIfEnded(), 1);
    EXPECT_EQ(Exchange({"C:\\a.jpg"}), FakeReportFor("C:\\a.jpg"));
    EXPECT_EQ(Boxes(), std::vector<Box>());
}

TEST_F(ToolFailures, EndingTheToolEndsAHungExchangeAtOnce) {
    const std::string tool = PlaceStandIn("tool\\exiftool.exe");
    ASSERT_EQ(Start(tool), 1);
    HANDLE output = BeginExchange({"C:\\a.jpg", "fake-hang"});
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(ExchangeInProgress(), output);
    ToolAnswer answer;
    ASSERT_EQ(WaitForSingleObject(output, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    answer.report = TakeExchangeOutput().pieces;
    EXPECT_EQ(answer.report, FakeReportFor("C:\\a.jpg"));

    EndExifTool();
    answer = AnswerSoFar(answer, 10);
    EXPECT_EQ(answer.report, FakeReportFor("C:\\a.jpg"));
    EXPECT_EQ(Labels(answer.failures), std::vector<std::string>{std::string(labels::kReadFile)});
    EXPECT_EQ(ExchangeInProgress(), nullptr);
    EXPECT_TRUE(ToolsEnd());

    ASSERT_EQ(RestartExifToolIfEnded(), 1);
    EXPECT_EQ(Exchange({"C:\\b.jpg"}), FakeReportFor("C:\\b.jpg"));
    EXPECT_EQ(ProgramsThatRan(), (std::vector<std::string>{tool, tool}));
    EXPECT_EQ(Boxes(), std::vector<Box>());
}

TEST_F(ToolFailures, WithoutAJobWhatTheToolStartedEndsWithItToo) {
    // exiftool.exe is a launcher: the stand-in as one, its child on the pipes.
    SetEnvironmentVariableW(L"FAKE_EXIFTOOL_LAUNCH", L"1");
    const int started = Start(PlaceStandIn("exiftool.exe"));
    SetEnvironmentVariableW(L"FAKE_EXIFTOOL_LAUNCH", nullptr);
    ASSERT_EQ(started, 1);
    ASSERT_NE(BeginExchange({"fake-hang"}), nullptr);
    for (int i = 0; i < 100 && ProcessesUnder(Folder()).size() < 2; ++i) {
        Sleep(50);
    }
    ASSERT_EQ(ProcessesUnder(Folder()).size(), 2u);
    // As where it could have no job (the job stays open, as its close would
    // end all in it).
    const UniqueHandle job(Session().Job.Release());
    EndExifTool();
    const ToolAnswer answer = AnswerSoFar(ToolAnswer(), 10);
    EXPECT_EQ(Labels(answer.failures), std::vector<std::string>{std::string(labels::kReadFile)});
    EXPECT_TRUE(ToolsEnd());
}

TEST_F(ToolFailures, StopDuringAnExchangeSendsTheStopLinesThenEndsBoth) {
    // The window closed while the tool works on a drop: the tool is asked
    // to stop and given its pause, as after any close.
    ASSERT_EQ(Start(PlaceStandIn("tool\\exiftool.exe")), 1);
    ASSERT_NE(BeginExchange({"fake-slow-30000"}), nullptr);
    const std::chrono::milliseconds took = Stop();
    // Whole, before or after the request, never inside it.
    std::string input = LoggedInput();
    const size_t stop = input.find(kStopLinesText);
    ASSERT_NE(stop, std::string::npos) << input;
    input.erase(stop, kStopLinesText.size());
    EXPECT_TRUE(
        input.empty() ||
        std::regex_match(input, std::regex("-charset\r\nfilename=utf8\r\nfake-slow-30000\r\n"
                                           "-echo4\r\n\\{ready[0-9]+\\}\r\n"
                                           "-execute[0-9]+\r\n")))
        << input;
    EXPECT_LT(took, std::chrono::seconds(10)); // not the 30 s the tool would take
    EXPECT_EQ(ExchangeInProgress(), nullptr);
    EXPECT_TRUE(ToolsEnd());
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
    ASSERT_FALSE(WriteToExifTool("fake-hang\r\n-execute1\r\n").has_value());
    Sleep(300);
    EXPECT_LT(Stop(), kStopBound);
    EXPECT_EQ(Boxes(), std::vector<Box>());
    // It would not stop by itself; it must not outlive the program.
    EXPECT_TRUE(ToolsEnd());
}

} // namespace
