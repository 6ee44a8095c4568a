// What the box shows of a drop while it comes and once it is in, in a real
// window driven by the window's own loop: the face, the view the user has,
// the decoding, and what is said when memory runs out.
#include "harness.h"

#include <windows.h>

#include <iostream>
#include <set>
#include <string>

#include "common/win_resources.h"
#include "common/win_text.h"
#include "report/messages.h"
#include "ui/drop_handler.h"
#include "window/drop_window.h"

namespace {

const std::string kCyrillicName = "C:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE.jpg"; // "Фото"
const std::string kCjkName = "C:\\\xE5\x86\x99\xE7\x9C\x9F.jpg";              // "写真"

struct Face {
    std::string asked;    // the face name the font was made with
    long height;          // its lfHeight
    std::string selected; // what the system gave for it
    long lineHeight;      // the cell height of what it gave
    LRESULT margins;
};

std::wstring AnsiText(const std::string& bytes) {
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(),
                                                        static_cast<int>(bytes.size()), text.data(),
                                                        static_cast<int>(text.size()))));
    return text;
}

class ResultBox : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        ASSERT_EQ(Start(PlaceStandIn("tool\\exiftool.exe")), 1);
        window_ = std::make_unique<DropWindow>();
        ASSERT_TRUE(window_->Fonts().face && window_->Fonts().fallback);
    }
    void TearDown() override {
        window_.reset();
        DriverTest::TearDown();
    }

    HWND Edit() const { return window_->Box(); }
    HFONT BoxsFont() const {
        return reinterpret_cast<HFONT>(SendMessageW(Edit(), WM_GETFONT, 0, 0));
    }

    void DropAndWait(const std::vector<std::string>& paths) {
        ASSERT_TRUE(window_->DropAndWait(paths)) << "the drop was not answered";
    }

    Face CurrentFace() const {
        HFONT font = BoxsFont();
        LOGFONTW asked{};
        GetObjectW(font, sizeof asked, &asked);
        WindowDc dc(Edit());
        DcSelection selected(dc.Get(), font);
        wchar_t name[LF_FACESIZE] = {};
        GetTextFaceW(dc.Get(), LF_FACESIZE, name);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.Get(), &metrics);
        return {Narrow(asked.lfFaceName), asked.lfHeight, Narrow(name), metrics.tmHeight,
                SendMessageW(Edit(), EM_GETMARGINS, 0, 0)};
    }

    Face FaceAfter(const std::vector<std::string>& paths) {
        DropAndWait(paths);
        const Face face = CurrentFace();
        std::cout << "asked " << face.asked << " " << face.height << ", selected " << face.selected
                  << ", line " << face.lineHeight << " px\n";
        return face;
    }

    std::pair<DWORD, DWORD> Selection() const {
        DWORD start = 0;
        DWORD end = 0;
        SendMessageW(Edit(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }

    LRESULT FirstVisibleLine() const { return SendMessageW(Edit(), EM_GETFIRSTVISIBLELINE, 0, 0); }

    // Lets the stand-in write what a "fake-hold" holds back.
    void Release() { WriteWholeFile(LogFolder() + "\\release", ""); }

    // Runs the window until the box holds at least `length` characters.
    bool RunUntilLength(size_t length) {
        return window_->RunUntil([&] { return window_->TextLength() >= length; });
    }

    std::unique_ptr<DropWindow> window_;
};

TEST_F(ResultBox, CourierForReportsItShowsWholeCourierNewForTheRest) {
    // The tests' prefix runs at 96 dots per inch.
    const Face ascii = FaceAfter({"C:\\a.jpg"});
    EXPECT_EQ(ascii.asked, "COURIER");
    EXPECT_EQ(ascii.height, -11);
    for (const std::vector<std::string>& paths : std::vector<std::vector<std::string>>{
             {kCyrillicName}, {kCjkName}, {"C:\\a.jpg", kCyrillicName}}) {
        const Face other = FaceAfter(paths);
        EXPECT_EQ(other.asked, "Courier New") << paths.back();
        EXPECT_EQ(other.lineHeight, ascii.lineHeight) << paths.back();
        EXPECT_EQ(other.margins, ascii.margins) << paths.back();
    }
    const Face again = FaceAfter({"C:\\a.jpg"});
    EXPECT_EQ(again.asked, "COURIER");
    EXPECT_EQ(again.height, -11);
    EXPECT_EQ(FaceAfter({"fake-empty"}).asked, "COURIER");
    EXPECT_EQ(window_->Text(), L"");
}

TEST_F(ResultBox, ReportsThatAlternateGetOnlyTheTwoFontsOfTheBox) {
    std::set<HFONT> given;
    for (int i = 0; i < 20; ++i) {
        DropAndWait({i % 2 == 0 ? "C:\\a.jpg" : kCyrillicName});
        given.insert(BoxsFont());
    }
    EXPECT_EQ(given,
              (std::set<HFONT>{window_->Fonts().face.Get(), window_->Fonts().fallback.Get()}));
}

TEST_F(ResultBox, TheViewAndTheFaceChangeOnlyAsTheUserAndTheTextNeed) {
    // The first file's report comes with a long one; then, once released,
    // another file's; then a name only Courier New shows.
    const std::wstring first = Widen(FakeReportFor("C:\\a.jpg"));
    const std::wstring second = Widen(FakeReportFor("C:\\b.jpg"));
    window_->Drop(
        {"C:\\a.jpg", "fake-big-200000", "fake-hold", "C:\\b.jpg", "fake-hold", kCyrillicName});
    ASSERT_TRUE(RunUntilLength(first.size() + 200000));
    EXPECT_EQ(CurrentFace().asked, "COURIER");
    // The user scrolls a little and selects part of the first report.
    SendMessageW(Edit(), EM_SETSEL, 3, 9);
    SendMessageW(Edit(), EM_LINESCROLL, 0, 40);
    const LRESULT scrolled = FirstVisibleLine();
    ASSERT_GT(scrolled, 0);
    const auto viewKept = [&](const char* when) {
        EXPECT_EQ(Selection(), (std::pair<DWORD, DWORD>(3, 9))) << when;
        EXPECT_EQ(FirstVisibleLine(), scrolled) << when;
    };
    Release();
    ASSERT_TRUE(RunUntilLength(first.size() + 200000 + second.size()));
    viewKept("after an append");
    EXPECT_EQ(CurrentFace().asked, "COURIER");
    Release();
    ASSERT_TRUE(window_->RunUntilAnswered());
    viewKept("after the face changed");
    EXPECT_EQ(window_->Text().substr(0, first.size()), first);
    EXPECT_EQ(window_->Text().substr(first.size() + 200000),
              second + Widen(FakeReportFor(kCyrillicName)));
    EXPECT_EQ(CurrentFace().asked, "Courier New");
    EXPECT_EQ(Boxes(), std::vector<Box>());
}

TEST_F(ResultBox, AReportThatTurnsOutNotToBeUtf8IsShownInTheAnsiCodePageWhole) {
    // Valid UTF-8 first, then a byte that UTF-8 cannot hold.
    DropAndWait({"fake-utf8", "fake-pause-500", "fake-ansi"});
    EXPECT_EQ(window_->Text(),
              AnsiText("Title : r\xC3\xA9sum\xC3\xA9 \xD0\x96\r\nTitle : r\xE9sum\xE9\r\n"));
    DropAndWait({"fake-utf8"});
    EXPECT_EQ(window_->Text(), L"Title : r\u00E9sum\u00E9 \u0416\r\n");
}

TEST_F(ResultBox, WhatMemoryCannotHoldIsToldAndWhatWasShownStays) {
    DropAndWait({"C:\\a.jpg"});
    const std::wstring before = window_->Text();
    // The limit stands in for memory running out.
    const size_t normal = SetLargestReport(1000);
    DropAndWait({"fake-big-300000"});
    EXPECT_EQ(window_->Text(), before);
    SetLargestReport(100000);
    DropAndWait({"fake-big-3000000"});
    const std::wstring cut = window_->Text();
    DropAndWait({"fake-stderr-1048576", "C:\\b.jpg"});
    SetLargestReport(normal);
    EXPECT_EQ(Boxes(),
              (std::vector<Box>{{std::string(kNoMemoryText), std::string(kErrorCaption)},
                                {std::string(kReportCutText), std::string(kErrorCaption)}}));
    EXPECT_GT(cut.size(), 0u);
    EXPECT_LE(cut.size(), 100000u);
    EXPECT_EQ(cut.substr(0, 10), L"Line 0 : x");
    EXPECT_EQ(window_->Text(),
              Widen(FakeReportFor("C:\\b.jpg") + std::string(kErrorTextLostText) + "\r\n"));
}

} // namespace
