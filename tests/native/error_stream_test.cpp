#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "driver/error_stream.h"
#include "driver/protocol.h"

namespace {

const std::string kMarker = ReadyMarker(4711);

using std::chrono::milliseconds;

TEST(ErrorStream, EachRequestTakesWhatCameBeforeItsMarkerSplitAnywhere) {
    const std::string mine = "Error: File not found - C:/{ready4711}/gone.jpg\r\n";
    const std::string all = mine + kMarker + "next\r\n";
    for (size_t cut = 0; cut <= all.size(); ++cut) {
        ErrorStream errors;
        errors.Append(all.substr(0, cut));
        // The rest comes while the request waits.
        std::thread late([&] {
            std::this_thread::sleep_for(milliseconds(2));
            errors.Append(all.substr(cut));
        });
        const ErrorStream::Share share = errors.Take(kMarker, milliseconds(60000));
        late.join();
        EXPECT_EQ(share.text, mine) << "cut at " << cut;
        EXPECT_FALSE(share.lost);
        // What follows the marker is the next request's.
        errors.Append(ReadyMarker(1));
        EXPECT_EQ(errors.Take(ReadyMarker(1), milliseconds(0)).text, "next\r\n");
    }
}

TEST(ErrorStream, ShareOfAnEarlierRequestThatCameLateIsSkipped) {
    ErrorStream errors;
    errors.Append("first part\r\n");
    // Its marker does not come in time: it takes what is there.
    EXPECT_EQ(errors.Take(ReadyMarker(1), milliseconds(20)).text, "first part\r\n");
    errors.Append("first, late\r\n" + ReadyMarker(1) + "other\r\n" + ReadyMarker(2) + "mine\r\n" +
                  kMarker);
    EXPECT_EQ(errors.Take(kMarker, milliseconds(0)).text, "mine\r\n");
}

TEST(ErrorStream, StreamThatEndsOrNeverMarksGivesAllThatCame) {
    ErrorStream silent;
    silent.Append("no marker\r\n");
    EXPECT_EQ(silent.Take(kMarker, milliseconds(20)).text, "no marker\r\n");
    EXPECT_EQ(silent.Take(kMarker, milliseconds(0)).text, "");

    // A tool that has died holds no one up.
    ErrorStream ended;
    ended.Append("died\r\n");
    ended.End();
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(ended.Take(kMarker, milliseconds(600000)).text, "died\r\n");
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(60));
}

TEST(ErrorStream, AtTheDeadlineAnUnfinishedLineWaitsForTheNextTake) {
    // The request's own marker is cut by the deadline: none of it may reach
    // the next request's share.
    for (size_t cut = 1; cut < kMarker.size(); ++cut) {
        ErrorStream errors;
        errors.Append("Warning: slow\r\n" + kMarker.substr(0, cut));
        EXPECT_EQ(errors.Take(kMarker, milliseconds(10)).text, "Warning: slow\r\n") << cut;
        errors.Append(kMarker.substr(cut) + "next's\r\n" + ReadyMarker(1));
        EXPECT_EQ(errors.Take(ReadyMarker(1), milliseconds(0)).text, "next's\r\n") << cut;
    }
    // A stream that has ended has nothing more to wait for: all is taken.
    ErrorStream ended;
    ended.Append("Error: cut short");
    ended.End();
    EXPECT_EQ(ended.Take(kMarker, milliseconds(0)).text, "Error: cut short");
}

TEST(ErrorStream, GivesBackTheMemoryOfAFloodOnceItIsTaken) {
    ErrorStream errors;
    const std::string line(63, 'x');
    for (int i = 0; i < 100000; ++i) {
        errors.Append(line + "\n");
    }
    errors.Append(kMarker);
    EXPECT_GE(errors.Capacity(), 6000000u);
    EXPECT_EQ(errors.Take(kMarker, milliseconds(0)).text.size(), 6400000u);
    EXPECT_LE(errors.Capacity(), ErrorStream::kKeptCapacity);
}

} // namespace
