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

TEST(ToolPathRules, LookPastTheExtendedLengthPrefix) {
    EXPECT_TRUE(PassesToolPathRules("\\\\?\\C:\\x\\exiftool.exe"));
    EXPECT_TRUE(PassesToolPathRules("\\\\?\\UNC\\server\\share\\exiftool.exe"));
    EXPECT_FALSE(PassesToolPathRules("\\\\?\\C:\\a?b\\exiftool.exe"));
    EXPECT_FALSE(PassesToolPathRules("\\\\?\\C:\\a*\\exiftool.exe"));
    EXPECT_FALSE(PassesToolPathRules("\\\\?\\C:"));
    EXPECT_FALSE(PassesToolPathRules("\\\\?\\"));
}

TEST(ExtendedLengthPath, PrefixesFullPathsOfMaxPathUnitsOrMore) {
    const std::string folder = "C:\\" + std::string(240, 'd') + "\\";
    const std::string at259 = folder + std::string(259 - folder.size(), 'f');
    EXPECT_EQ(ExtendedLengthPath(at259), at259);
    EXPECT_EQ(ExtendedLengthPath(at259 + "f"), "\\\\?\\" + at259 + "f");
    EXPECT_EQ(ExtendedLengthPath("\\\\srv\\share\\" + std::string(250, 'u')),
              "\\\\?\\UNC\\srv\\share\\" + std::string(250, 'u'));
    // Counted in UTF-16 units: 130 Cyrillic letters are 260 bytes but fit.
    std::string cyrillic = "C:\\";
    for (int i = 0; i < 120; ++i) {
        cyrillic += "\xD0\x96"; // "Ж"
    }
    EXPECT_EQ(ExtendedLengthPath(cyrillic), cyrillic);
    // Already prefixed, or relative: left as they are.
    const std::string prefixed = "\\\\?\\" + at259 + "f";
    EXPECT_EQ(ExtendedLengthPath(prefixed), prefixed);
    EXPECT_EQ(ExtendedLengthPath(std::string(300, 'r')), std::string(300, 'r'));

    EXPECT_EQ(WithoutExtendedPrefix(prefixed), at259 + "f");
    EXPECT_EQ(WithoutExtendedPrefix("\\\\?\\UNC\\srv\\s\\x"), "\\\\srv\\s\\x");
    EXPECT_EQ(WithoutExtendedPrefix("C:\\x"), "C:\\x");
}

TEST(ToolCommandLine, QuotesThePathSoSpacesCannotPickAnotherProgram) {
    EXPECT_EQ(ToolCommandLine("C:\\Program Files\\x\\exiftool.exe"),
              "\"C:\\Program Files\\x\\exiftool.exe\" -stay_open True -@ -");
}

} // namespace
