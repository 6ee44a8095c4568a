#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "ui/box_text.h"

namespace {

std::vector<std::string> Parts(bool endsLine, const std::vector<std::string_view>& parts) {
    std::vector<std::string> out;
    for (std::string_view part : FollowingParts(endsLine, parts)) {
        out.emplace_back(part);
    }
    return out;
}

TEST(FollowingParts, EachOnALineOfItsOwn) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(Parts(true, {"Error: x\r\n"}), Lines{"Error: x\r\n"});
    EXPECT_EQ(Parts(false, {"Error: x\r\n"}), (Lines{"\r\n", "Error: x\r\n"}));
    EXPECT_EQ(Parts(true, {"{error}", "Error: x\r\n"}), (Lines{"{error}", "\r\n", "Error: x\r\n"}));
    EXPECT_EQ(Parts(false, {"", "e", "Note\r\n"}), (Lines{"\r\n", "e", "\r\n", "Note\r\n"}));
    EXPECT_EQ(Parts(true, {"", ""}), Lines{});
}

struct Shown {
    std::string bytes;
    bool ansi;
    bool redecode;
};

std::vector<Shown> Decode(const std::vector<std::string>& pieces) {
    ReportDecoding decoding;
    std::vector<Shown> shown;
    for (const std::string& piece : pieces) {
        const ReportDecoding::Piece next = decoding.Next(piece);
        shown.push_back({std::string(next.bytes), next.ansi, next.redecodeShown});
    }
    return shown;
}

TEST(ReportDecoding, Utf8UntilAPieceIsNotThenAnsiFromTheStart) {
    const std::vector<Shown> shown = Decode({"r\xC3\xA9sum\xC3\xA9\r\n", "Ti\xE9\r\n", "\xC3\xA9"});
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_FALSE(shown[0].ansi);
    EXPECT_FALSE(shown[0].redecode);
    // The second shows the report is not UTF-8: all of it, shown before
    // too, is ANSI, and stays so.
    EXPECT_TRUE(shown[1].ansi);
    EXPECT_TRUE(shown[1].redecode);
    EXPECT_TRUE(shown[2].ansi);
    EXPECT_FALSE(shown[2].redecode);
    EXPECT_EQ(shown[2].bytes, "\xC3\xA9");
}

TEST(ReportDecoding, NothingAfterTheFirstZeroByte) {
    const std::vector<Shown> shown =
        Decode({"a\r\n", std::string("b\0\xE9", 3), "c\r\n", std::string("\0", 1)});
    EXPECT_EQ(shown[1].bytes, "b");
    // What follows the zero decides nothing.
    EXPECT_FALSE(shown[1].ansi);
    EXPECT_EQ(shown[2].bytes, "");
    EXPECT_EQ(shown[3].bytes, "");
}

TEST(NextPieceLength, AimsAtTheBudgetByTheLastCostAndNeverGoesQuadratic) {
    EXPECT_EQ(NextPieceLength(nullptr, 0), kFirstPiece);
    // 100 K characters in a quarter of the budget: twice as many next.
    const AppendCost quick{100000, kAppendBudget / 4};
    EXPECT_EQ(NextPieceLength(&quick, 0), 400000u);
    // Cheaper still, it grows by four times at most, and to a limit.
    const AppendCost cheap{100000, kAppendBudget / 100};
    EXPECT_EQ(NextPieceLength(&cheap, 0), 400000u);
    const AppendCost cheapLarge{800000, kAppendBudget / 100};
    EXPECT_EQ(NextPieceLength(&cheapLarge, 0), kLargestPiece);
    // Twice the budget: half as many, but never below the least piece.
    const AppendCost slow{100000, 2 * kAppendBudget};
    EXPECT_EQ(NextPieceLength(&slow, 0), 50000u);
    const AppendCost crawl{20000, 10 * kAppendBudget};
    EXPECT_EQ(NextPieceLength(&crawl, 0), kSmallestPiece);
    // However slow, a 32nd of the text in the box at least, as every append
    // lays that out again too.
    EXPECT_EQ(NextPieceLength(&crawl, 6400000), 200000u);
    // An append too quick for the clock grows by steps.
    const AppendCost instant{50000, 0};
    EXPECT_EQ(NextPieceLength(&instant, 0), 200000u);
}

} // namespace
