#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "ui/box_text.h"

namespace {

std::vector<std::string> Parts(std::string_view report, std::string_view errors,
                               std::string_view notes = {}) {
    std::vector<std::string> parts;
    for (std::string_view part : BoxTextParts(report, errors, notes)) {
        parts.emplace_back(part);
    }
    return parts;
}

TEST(BoxTextParts, ReportAloneOrFollowedByErrorsAndNotesOnLinesOfTheirOwn) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(Parts("a : 1\r\n", ""), Lines{"a : 1\r\n"});
    EXPECT_EQ(Parts("", ""), Lines{""});
    EXPECT_EQ(Parts(std::string_view("a\0b", 3), ""), Lines{"a"});
    EXPECT_EQ(Parts("a : 1\r\n", "Error: x\r\n"), (Lines{"a : 1\r\n", "Error: x\r\n"}));
    EXPECT_EQ(Parts("", "Error: x\r\n"), (Lines{"", "Error: x\r\n"}));
    EXPECT_EQ(Parts("{error}", "Error: x\r\n"), (Lines{"{error}", "\r\n", "Error: x\r\n"}));
    EXPECT_EQ(Parts(std::string_view("a\0b", 3), std::string_view("e\0f", 3)),
              (Lines{"a", "\r\n", "e"}));
    EXPECT_EQ(Parts("a\r\n", "", "Note\r\n"), (Lines{"a\r\n", "Note\r\n"}));
    EXPECT_EQ(Parts("a", "e", "Note\r\n"), (Lines{"a", "\r\n", "e", "\r\n", "Note\r\n"}));
    EXPECT_EQ(Parts("", "", "Note\r\n"), (Lines{"", "Note\r\n"}));
}

} // namespace
