#include <gtest/gtest.h>

#include "app/command_line.h"

namespace {

using Strings = std::vector<std::string>;

TEST(CommandLine, SplitsByWindowsRules) {
    const std::vector<std::pair<std::string, Strings>> cases = {
        {R"("C:\Program Files\m.exe"  "my photo.jpg"	x  )",
         {"C:\\Program Files\\m.exe", "my photo.jpg", "x"}},
        // Backslashes are themselves but before a quote: 2n and a quote are
        // n and a quote that opens or closes, 2n+1 are n and a quote.
        {R"(m.exe C:\dir\ "C:\my dir\\" a\"b a\\\"b "a\\b")",
         {"m.exe", "C:\\dir\\", "C:\\my dir\\", "a\"b", "a\\\"b", "a\\\\b"}},
        {R"(m.exe "" x "")", {"m.exe", "", "x", ""}},
        {R"(m.exe a"b c"d "e f)", {"m.exe", "ab cd", "e f"}},
    };
    for (const auto& [line, arguments] : cases) {
        EXPECT_EQ(SplitCommandLine(line), arguments) << line;
    }
}

TEST(CommandLine, PathsAreFullAndNeverTheToolsOptions) {
    ASSERT_TRUE(SetCurrentFolder("C:\\windows"));
    EXPECT_EQ(
        CommandLinePaths(R"(m.exe photo.jpg -ver "" "my photos\a b.jpg" ..\up.jpg)"
                         R"( .\x\..\y *.jpg sub/dir\\f C:\abs\b.jpg \rooted "C:\dir\\")"
                         R"( \\server\share\s.jpg)"),
        (Strings{"C:\\windows\\photo.jpg", "C:\\windows\\-ver", "C:\\windows\\my photos\\a b.jpg",
                 "C:\\up.jpg", "C:\\windows\\y", "C:\\windows\\*.jpg", "C:\\windows\\sub\\dir\\f",
                 "C:\\abs\\b.jpg", "C:\\rooted", "C:\\dir\\", "\\\\server\\share\\s.jpg"}));
}

} // namespace
