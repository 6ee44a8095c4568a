#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "ui/box_text.h"

namespace {

std::vector<std::string> Parts(char16_t last, const std::vector<std::string_view>& parts) {
    std::vector<std::string> out;
    for (std::string_view part : FollowingParts(last, parts)) {
        out.emplace_back(part);
    }
    return out;
}

TEST(FollowingParts, EachOnALineOfItsOwn) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(Parts(u'\n', {"Error: x\r\n"}), Lines{"Error: x\r\n"});
    EXPECT_EQ(Parts(u'\0', {"Error: x\r\n"}), Lines{"Error: x\r\n"});
    EXPECT_EQ(Parts(u'x', {"Error: x\r\n"}), (Lines{"\r\n", "Error: x\r\n"}));
    EXPECT_EQ(Parts(u'\r', {"Error: x\r\n"}), (Lines{"\n", "Error: x\r\n"}));
    EXPECT_EQ(Parts(u'\n', {"{error}", "Error: x\r\n"}),
              (Lines{"{error}", "\r\n", "Error: x\r\n"}));
    EXPECT_EQ(Parts(u'x', {"", "e\r", "Note\r\n"}), (Lines{"\r\n", "e\r", "\n", "Note\r\n"}));
    EXPECT_EQ(Parts(u'x', {"", ""}), Lines{});
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

TEST(ReportDecoding, ZeroBytesAreShownAndDecideNothing) {
    const std::vector<Shown> shown = Decode({std::string("a\0b\r\n", 5), std::string("\0", 1)});
    EXPECT_EQ(shown[0].bytes, std::string("a\0b\r\n", 5));
    EXPECT_FALSE(shown[0].ansi);
    EXPECT_EQ(shown[1].bytes, std::string("\0", 1));
}

// Code page 932's lead bytes.
LeadBytes ShiftJisLeads() {
    LeadBytes leads;
    for (unsigned b = 0x81; b <= 0xFC; ++b) {
        leads.set(b, b <= 0x9F || b >= 0xE0);
    }
    return leads;
}

TEST(ReportDecoding, NoDoubleByteCharacterIsCutWhereverTheReadsCutIt) {
    // UTF-8 at first ("x\xC4\x81" is "x" and U+0101, whose last byte is a
    // lead byte in 932), then not: "\x88\x9F" has a trail byte that is a
    // lead byte too.
    const std::string report = "x\xC4\x81\x40\x88\x9F\x93\xFA\r\n";
    const LeadBytes leads = ShiftJisLeads();
    for (size_t cut = 1; cut < report.size(); ++cut) {
        ReportDecoding decoding(leads);
        std::string shown;
        for (const std::string& piece : {report.substr(0, cut), report.substr(cut)}) {
            const ReportDecoding::Piece next = decoding.Next(piece);
            // A new decoding takes what was shown again, with this piece.
            shown += next.bytes;
            if (next.ansi) {
                EXPECT_EQ(WholeCharacters(shown, leads), shown.size()) << "cut at " << cut;
            }
        }
        EXPECT_EQ(shown + std::string(decoding.Rest()), report) << "cut at " << cut;
    }
    ReportDecoding decoding(leads);
    EXPECT_EQ(decoding.Next("\xFF\x93").bytes, "\xFF");
    // A take with no bytes, as when only the end came, keeps what is held.
    EXPECT_EQ(decoding.Next("").bytes, "");
    EXPECT_EQ(decoding.Rest(), "\x93");
}

TEST(Backlog, CutsInPlaceKeepingTheChunksItCameIn) {
    Backlog backlog;
    for (const char16_t* chunk : {u"first\r\n", u"second\r\n", u"third"}) {
        backlog.Push(chunk);
    }
    std::u16string piece;
    backlog.Next(3, &piece);
    EXPECT_EQ(piece, u"fir");
    backlog.Consume(3);
    // A cancel keeps what was shown before: no chunk is copied whole.
    backlog.Keep(10);
    EXPECT_EQ(backlog.Chunks(), 2u);
    EXPECT_EQ(backlog.Length(), 10u);
    EXPECT_EQ(backlog.Back(), u'd');
    backlog.PushFront(u"taken back ");
    backlog.CopyFront(backlog.Length(), &piece);
    EXPECT_EQ(piece, u"taken back st\r\nsecond");
    backlog.Clear();
    backlog.Push(u"x");
    backlog.Keep(0);
    EXPECT_TRUE(backlog.Empty());
}

TEST(NextPieceLength, AimsAtTheBudgetByTheLastCostAndNeverGoesQuadratic) {
    EXPECT_EQ(NextPieceLength(nullptr, 0), kFirstPiece);
    // 100 K characters in a quarter of the budget: four times as many next.
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
    // An append too quick for the clock grows by steps; a clock gone wrong
    // still gives a piece.
    const AppendCost instant{50000, 0};
    EXPECT_EQ(NextPieceLength(&instant, 0), 200000u);
    const AppendCost wrong{0, -1};
    EXPECT_EQ(NextPieceLength(&wrong, 0, std::nan("")), kSmallestPiece);
    // In a box of 20 million characters where the text already there costs an
    // append 20 ms, the budget holds: pieces smaller than a 32nd of it.
    const AppendCost late{200000, 0.3};
    EXPECT_EQ(NextPieceLength(&late, 20000000, 0.02), 342857u);
    // Once that part takes half the budget, a 32nd of the text at least.
    const AppendCost later{200000, 0.8};
    EXPECT_EQ(NextPieceLength(&later, 20000000, kAppendBudget / 2), 625000u);
    EXPECT_EQ(NextPieceLength(&later, 20000000, 2 * kAppendBudget), 625000u);
    // Not known yet: a 32nd of the text at least.
    EXPECT_EQ(NextPieceLength(&late, 20000000), 625000u);
}

TEST(AppendCosts, TellTheCostOfTheTextInTheBoxOnceTheAppendsDiffer) {
    AppendCosts costs;
    const auto cost = [](double piece, double box) { return 1.5e-6 * piece + 2.5e-8 * box; };
    // A whole replacement does not count; appends that all grow alike tell nothing.
    costs.Add(65536, 0, 5, true);
    size_t box = 65536;
    for (int i = 0; i < 4; ++i) {
        costs.Add(box, box, cost(box, box));
        box *= 2;
    }
    EXPECT_FALSE(costs.Growing(box));
    for (const size_t piece : {200000, 50000, 400000, 120000}) {
        costs.Add(piece, box, cost(piece, box));
        box += piece;
    }
    ASSERT_TRUE(costs.Growing(20000000));
    EXPECT_NEAR(*costs.Growing(20000000), 0.5, 0.001);
    EXPECT_EQ(costs.Last()->length, 120000u);
}

} // namespace
