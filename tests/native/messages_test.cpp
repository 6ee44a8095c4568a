#include <gtest/gtest.h>

#include "report/messages.h"

namespace {

TEST(ErrorReport, LabelCodeAndSystemTextInTheirFixedForm) {
    EXPECT_EQ(FormatErrorReport(labels::kStdInCreatePipe, 5, "Access denied.\r\n"),
              "E01 StdIn CreatePipe failed with error 5\r\nAccess denied.\r\n");
}

TEST(ErrorReport, CodeZeroIsShownAsZero) {
    EXPECT_EQ(FormatErrorReport(labels::kWriteFile, 0, "Success.\r\n"),
              "E08 WriteFile failed with error 0\r\nSuccess.\r\n");
}

TEST(ErrorReport, LargeCodesAreUnsigned) {
    EXPECT_EQ(FormatErrorReport(labels::kReadFile, 0x80000000u, std::nullopt),
              "E09 ReadFile failed with error 2147483648\r\n");
    EXPECT_EQ(FormatErrorReport(labels::kReadFile, 0xFFFFFFFFu, std::nullopt),
              "E09 ReadFile failed with error 4294967295\r\n");
}

TEST(ErrorReport, NoSystemTextEndsWithTheLineEnd) {
    EXPECT_EQ(FormatErrorReport(labels::kCreateProcess, 1234567, std::nullopt),
              "E07 CreateProcess failed with error 1234567\r\n");
}

TEST(ErrorReport, SystemTextIsTakenUpToItsZeroAndNotTrimmed) {
    EXPECT_EQ(FormatErrorReport(labels::kReadFile, 109, std::string_view("Broken  \0junk", 13)),
              "E09 ReadFile failed with error 109\r\nBroken  ");
}

TEST(Labels, AreExactlyTheNineWithTheirOwnCapitals) {
    const std::string_view all[] = {labels::kStdInCreatePipe,  labels::kStdInSetHandleInformation,
                                    labels::kStdOutCreatePipe, labels::kStdOutSetHandleInformation,
                                    labels::kStdErrCreatePipe, labels::kStdErrSetHandleInformation,
                                    labels::kCreateProcess,    labels::kWriteFile,
                                    labels::kReadFile};
    const std::string_view expected[] = {"E01 StdIn CreatePipe",
                                         "E02 Stdin SetHandleInformation",
                                         "E03 StdOutRd CreatePipe",
                                         "E04 StdOut SetHandleInformation",
                                         "E05 StdErrRd CreatePipe",
                                         "E06 StdErr SetHandleInformation",
                                         "E07 CreateProcess",
                                         "E08 WriteFile",
                                         "E09 ReadFile"};
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(all[i], expected[i]);
    }
}

} // namespace
