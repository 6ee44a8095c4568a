// Which file is started, and that nothing else ever is.
#include "harness.h"

#include "report/messages.h"

namespace {

const Box kMissingTool{std::string(kMissingToolText), std::string(kMissingToolCaption)};

class ToolStart : public DriverTest {
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
};

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

} // namespace
