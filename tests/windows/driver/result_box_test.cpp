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
#include "ui/dialog_template.h"
#include "ui/drop_handler.h"
#include "ui/safe_write.h"
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

    // The exchange has handed over output that the window has yet to take.
    static bool OutputWaits() {
        return WaitForSingleObject(PendingDropWork(), 30000) == WAIT_OBJECT_0;
    }

    // Keys, posted as the system posts typed ones: the window takes them in
    // its next turn, after the output that waits.
    void Post(UINT message, WPARAM key) const { PostMessageW(Edit(), message, key, 1); }

    // Saves the box as Ctrl+S would, in the turn the timer comes in: after
    // the keys posted for that turn.
    static void CALLBACK SaveInTurn(HWND box, UINT, UINT_PTR id, DWORD) {
        KillTimer(box, id);
        SaveBoxText(box, savedPath_);
    }

    // A drop whose first file's report shows, then `rest` once released, with
    // what the user does in the turn that takes it (typing, then a save when
    // `save`); the drop is then over.
    void TypeWhenTheRestComes(const std::vector<std::string>& rest,
                              const std::vector<std::pair<UINT, WPARAM>>& keys, bool save = false) {
        std::vector<std::string> paths{"C:\\a.jpg", "fake-hold"};
        paths.insert(paths.end(), rest.begin(), rest.end());
        window_->Drop(paths);
        const std::wstring first = Widen(FakeReportFor("C:\\a.jpg"));
        ASSERT_TRUE(window_->RunUntil([&] { return window_->Text() == first; }));
        Release();
        ASSERT_TRUE(OutputWaits());
        for (const auto& [message, key] : keys) {
            Post(message, key);
        }
        if (save) {
            savedPath_ = Folder() + "\\saved.txt";
            ASSERT_NE(SetTimer(Edit(), 1, USER_TIMER_MINIMUM, SaveInTurn), 0u);
            Sleep(50);
        }
        ASSERT_TRUE(window_->RunUntilAnswered());
    }

    const std::wstring cancelled_ = Widen(kCancelledText) + L"\r\n";

    std::unique_ptr<DropWindow> window_;
    static inline std::string savedPath_;
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

TEST_F(ResultBox, AMoveToAMonitorOfAnotherScaleRemakesTheFontsAndKeepsTheView) {
    const Face at96 = CurrentFace();
    // A report streaming in, held; the user selects backwards and scrolls.
    window_->Drop({"C:\\a.jpg", "fake-big-200000", "fake-hold", kCyrillicName});
    ASSERT_TRUE(RunUntilLength(Widen(FakeReportFor("C:\\a.jpg")).size() + 200000));
    SetFocus(Edit());
    SendMessageW(Edit(), EM_SETSEL, 9, 3);
    SendMessageW(Edit(), EM_LINESCROLL, 0, 40);
    const std::wstring before = window_->Text();
    const LRESULT firstCharacter = SendMessageW(Edit(), EM_LINEINDEX, FirstVisibleLine(), 0);
    // Wider than the screen, and as high as it fits.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT suggested{100, 50, 300 + work.right - work.left, 1000};
    SendMessageW(window_->Dialog(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    const auto edges = [](RECT r) { return std::vector<long>{r.left, r.top, r.right, r.bottom}; };
    RECT outer{};
    GetWindowRect(window_->Dialog(), &outer);
    EXPECT_EQ(edges(outer), edges({work.left, 50, work.right, 1000}));
    const Face at144 = CurrentFace();
    EXPECT_EQ(at144.height, -16);
    // The 5-unit margins, 9 x 8 px at 96 DPI.
    RECT client{}, box{};
    GetClientRect(window_->Dialog(), &client);
    GetWindowRect(Edit(), &box);
    MapWindowPoints(nullptr, window_->Dialog(), reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(edges(box), edges({14, 12, client.right - 14, client.bottom - 12}));
    EXPECT_EQ(window_->Text(), before);
    EXPECT_EQ(Selection(), (std::pair<DWORD, DWORD>(3, 9)));
    EXPECT_EQ(SendMessageW(Edit(), EM_LINEINDEX, FirstVisibleLine(), 0), firstCharacter);
    POINT caret{};
    GetCaretPos(&caret);
    EXPECT_EQ(caret.x, LOWORD(SendMessageW(Edit(), EM_POSFROMCHAR, 3, 0))) << "caret at start";
    // The drop goes on; a name only Courier New shows switches it to the new
    // TrueType face, at the new face's line height.
    Release();
    ASSERT_TRUE(window_->RunUntilAnswered());
    EXPECT_EQ(window_->Text(), before + Widen(FakeReportFor(kCyrillicName)));
    EXPECT_EQ(BoxsFont(), window_->Fonts().fallback.Get());
    EXPECT_EQ(CurrentFace().lineHeight, at144.lineHeight);
    // Minimized, the window has no client area: it is laid out once restored.
    ShowWindow(window_->Dialog(), SW_MINIMIZE);
    SendMessageW(window_->Dialog(), WM_DPICHANGED, MAKEWPARAM(96, 96),
                 reinterpret_cast<LPARAM>(&suggested));
    ShowWindow(window_->Dialog(), SW_RESTORE);
    GetWindowRect(window_->Dialog(), &outer);
    EXPECT_EQ(edges(outer),
              edges({work.left, 50, work.left + ScaleForDpi(work.right - work.left, 144, 96),
                     50 + ScaleForDpi(950, 144, 96)}));
    GetClientRect(window_->Dialog(), &client);
    GetWindowRect(Edit(), &box);
    MapWindowPoints(nullptr, window_->Dialog(), reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(edges(box), edges({9, 8, client.right - 9, client.bottom - 8}));
    EXPECT_EQ(BoxsFont(), window_->Fonts().fallback.Get());
    EXPECT_EQ(CurrentFace().lineHeight, at96.lineHeight);
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

TEST_F(ResultBox, AnEscapeTypedBeforeADropBeganCancelsNothingOfIt) {
    // The key waits behind the drop, older than the drop's start.
    window_->Drop({"C:\\a.jpg"});
    Post(WM_KEYDOWN, VK_ESCAPE);
    Sleep(50);
    ASSERT_TRUE(window_->RunUntil([&] {
        return window_->TextLength() > 0 && PendingDropWork() == nullptr && !DropWorkWaiting();
    }));
    EXPECT_EQ(window_->Text(), Widen(FakeReportFor("C:\\a.jpg")));
}

TEST_F(ResultBox, ACancelKeepsAllThatWasShownAndEndsItsLine) {
    const std::wstring first = Widen(FakeReportFor("C:\\a.jpg"));
    // A piece that ends inside a line, cancelled before it shows.
    TypeWhenTheRestComes({"fake-noeol", "fake-hold"}, {{WM_KEYDOWN, VK_ESCAPE}});
    EXPECT_EQ(window_->Text(), first + cancelled_);
    // A new face takes the box's text out to put it in again; what the user
    // types meanwhile costs nothing of it, and a save has all of it.
    TypeWhenTheRestComes({kCyrillicName, "fake-hold"}, {{WM_CHAR, 'Q'}, {WM_KEYDOWN, VK_ESCAPE}},
                         true);
    EXPECT_EQ(window_->Text(), L"Q" + first + cancelled_);
    EXPECT_EQ(ReadWholeFile(savedPath_), "\xEF\xBB\xBFQ" + FakeReportFor("C:\\a.jpg"));
}

TEST_F(ResultBox, ACancelAfterANewDecodingKeepsAllThatWasShownInIt) {
    const std::string shown = "Title : r\xC3\xA9sum\xC3\xA9 \xD0\x96\r\n";
    window_->Drop({"fake-utf8", "fake-hold", "fake-ansi", "fake-hold"});
    ASSERT_TRUE(RunUntilLength(Widen(shown).size()));
    // The user selects "résumé", upwards.
    SetFocus(Edit());
    SendMessageW(Edit(), EM_SETSEL, 14, 8);
    Release();
    ASSERT_TRUE(OutputWaits());
    Post(WM_KEYDOWN, VK_ESCAPE);
    ASSERT_TRUE(window_->RunUntilAnswered());
    EXPECT_EQ(window_->Text(), AnsiText(shown) + cancelled_);
    // The same characters, counted in the new decoding, the caret where it was.
    EXPECT_EQ(Selection(), (std::pair<DWORD, DWORD>(8, 16)));
    POINT caret{};
    ASSERT_TRUE(GetCaretPos(&caret));
    EXPECT_EQ(SendMessageW(Edit(), EM_POSFROMCHAR, 8, 0), MAKELRESULT(caret.x, caret.y));
}

TEST_F(ResultBox, EscapeOnceTheToolHasAnsweredStopsOnlyTheShowing) {
    window_->Drop({"fake-big-2000000"});
    // The tool's answer is whole while much of it still waits for the box.
    ASSERT_TRUE(
        window_->RunUntil([] { return PendingDropWork() == nullptr && DropWorkWaiting(); }));
    const auto stoppedBefore = [&](size_t whole) {
        Post(WM_KEYDOWN, VK_ESCAPE);
        ASSERT_TRUE(window_->RunUntilAnswered());
        const std::wstring text = window_->Text();
        const std::wstring stopped = Widen(kShowingStoppedText) + L"\r\n";
        ASSERT_GT(text.size(), stopped.size());
        EXPECT_LT(text.size(), whole);
        EXPECT_EQ(text.substr(text.size() - stopped.size()), stopped);
    };
    stoppedBefore(2000000);
    ASSERT_FALSE(HasFatalFailure());
    // The tool that answered still runs, and answers the next drop.
    EXPECT_TRUE(ExifToolRunning());
    DropAndWait({"C:\\b.jpg"});
    const std::wstring report = Widen(FakeReportFor("C:\\b.jpg"));
    EXPECT_EQ(window_->Text(), report);
    EXPECT_EQ(LoggedArgs().find("exe=", 1), std::string::npos);
    // The errors that follow a report stop the same way.
    window_->Drop({"C:\\b.jpg", "fake-stderr-500000"});
    ASSERT_TRUE(window_->RunUntil([&] {
        const std::wstring text = window_->Text();
        return text.size() > report.size() && text.substr(0, report.size()) == report &&
               DropWorkWaiting();
    }));
    stoppedBefore(report.size() + 500000);
}

} // namespace
