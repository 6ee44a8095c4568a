#include <gtest/gtest.h>

#include "driver/tool_path.h"

namespace {

TEST(ToolPath, IsTheProgramsFolderAndTheToolName) {
    EXPECT_EQ(ToolPathBeside("C:\\Program Files\\metadrop\\metadrop.exe"),
              "C:\\Program Files\\metadrop\\exiftool.exe");
    EXPECT_EQ(ToolPathBeside("\\\\server\\share\\m.exe"), "\\\\server\\share\\exiftool.exe");
    EXPECT_EQ(ToolPathBeside("metadrop.exe"), "exiftool.exe");
}

TEST(ToolPath, LongAndNonAnsiFoldersStayWhole) {
    std::string folder = "C:\\";
    while (folder.size() < 600) {
        folder += "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0 long folder\\"; // "Папка"
    }
    EXPECT_EQ(ToolPathBeside(folder + "metadrop.exe"), folder + "exiftool.exe");
    EXPECT_EQ(ToolCommandLine(folder + "exiftool.exe"),
              "\"" + folder + "exiftool.exe\" -stay_open True -@ -");
}

TEST(ToolPathRules, RefuseEmptyWildcardsAndTrailingColon) {
    EXPECT_FALSE(PassesToolPathRules(""));
    EXPECT_FALSE(PassesToolPathRules("C:\\a?b\\exiftool.exe"));
    EXPECT_FALSE(PassesToolPathRules("C:\\a*\\exiftool.exe"));
    EXPECT_FALSE(PassesToolPathRules("C:"));
    EXPECT_FALSE(PassesToolPathRules("exiftool.exe:"));
    EXPECT_TRUE(PassesToolPathRules("C:\\Program Files\\x\\exiftool.exe"));
    EXPECT_TRUE(PassesToolPathRules("C:\\\xD0\x9F\\exiftool.exe"));
}

TEST(ToolCommandLine, QuotesThePathSoSpacesCannotPickAnotherProgram) {
    EXPECT_EQ(ToolCommandLine("C:\\Program Files\\x\\exiftool.exe"),
              "\"C:\\Program Files\\x\\exiftool.exe\" -stay_open True -@ -");
}

} // namespace
