// The real exiftool, to be sure the stand-in's protocol is the tool's.
#include "harness.h"

namespace {

// A valid 1x1 PNG.
const unsigned char kTinyPngBytes[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00, 0x0b, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9c, 0x63, 0x60, 0x00, 0x02, 0x00, 0x00, 0x05, 0x00, 0x01, 0x7a, 0x5e, 0xab, 0x3f,
    0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82,
};
const std::string kTinyPng(reinterpret_cast<const char*>(kTinyPngBytes), sizeof kTinyPngBytes);

class RealTool : public DriverTest {};

TEST_F(RealTool, ReportsSmallFilesByNameWithoutTheMarker) {
    const std::string plain = Folder() + "\\tiny.png";
    const std::string cyrillic = Folder() + "\\\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE.png"; // "фото"
    WriteWholeFile(plain, kTinyPng);
    WriteWholeFile(cyrillic, kTinyPng);

    ASSERT_EQ(Start(WindowsPathFromEnv(L"METADROP_TOOL_DIR") + "\\exiftool.exe"), 1);
    const std::string first = Exchange({plain});
    EXPECT_NE(first.find("File Name"), std::string::npos) << first;
    EXPECT_NE(first.find(": tiny.png\r\n"), std::string::npos) << first;
    EXPECT_NE(first.find("Image Width"), std::string::npos) << first;
    EXPECT_EQ(first.find("{ready"), std::string::npos) << first;

    // Non-ASCII names reach the tool as UTF-8 and come back the same.
    const std::string second = Exchange({cyrillic, plain});
    EXPECT_NE(second.find(": \xD1\x84\xD0\xBE\xD1\x82\xD0\xBE.png\r\n"), std::string::npos)
        << second;
    EXPECT_NE(second.find(": tiny.png\r\n"), std::string::npos) << second;
    EXPECT_EQ(second.find("{ready"), std::string::npos) << second;

    Stop();
    EXPECT_EQ(Boxes(), std::vector<Box>());
}

TEST_F(RealTool, MissingFileIsToldOnStandardErrorAndFramedPerRequest) {
    const std::string plain = Folder() + "\\tiny.png";
    const std::string gone = Folder() + "\\gone.png";
    WriteWholeFile(plain, kTinyPng);

    ASSERT_EQ(Start(WindowsPathFromEnv(L"METADROP_TOOL_DIR") + "\\exiftool.exe"), 1);
    const ToolAnswer both = Answer({plain, gone});
    EXPECT_NE(both.report.find(": tiny.png\r\n"), std::string::npos) << both.report;
    EXPECT_NE(both.report.find("1 files could not be read"), std::string::npos) << both.report;
    // The tool writes the path with forward slashes.
    std::string shown = gone;
    for (char& c : shown) {
        c = c == '\\' ? '/' : c;
    }
    EXPECT_EQ(both.errors, "Error: File not found - " + shown + "\r\n");
    EXPECT_FALSE(both.lost);

    const ToolAnswer good = Answer({plain});
    EXPECT_NE(good.report.find(": tiny.png\r\n"), std::string::npos) << good.report;
    EXPECT_EQ(good.errors, "");
    Stop();
    EXPECT_EQ(Boxes(), std::vector<Box>());
}

} // namespace
