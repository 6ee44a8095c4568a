#include "ui/result_box.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "common/utf8.h"
#include "common/win_text.h"
#include "ui/box_font.h"
#include "ui/box_text.h"
#include "ui/dialog_template.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 is wchar_t here");

// The box's fonts, which WinMain owns for as long as the box lives, and the
// code page of its own face; 0 where the system cannot tell it.
struct Faces {
    HFONT face = nullptr;
    HFONT fallback = nullptr;
    unsigned codePage = 0;
};
Faces faces;

// Where the user has the box: the selection and the first line in view,
// named by its first character so that a new layout keeps it.
struct View {
    DWORD start = 0;
    DWORD end = 0;
    LRESULT firstCharacter = 0;
};

// Decoded text not yet in the box, kept in the chunks it came in, so that a
// backlog grows without ever being copied whole.
class Backlog {
  public:
    bool Empty() const { return chunks_.empty(); }

    void Push(std::wstring chunk) {
        if (!chunk.empty()) {
            length_ += chunk.size();
            chunks_.push_back(std::move(chunk));
        }
    }

    // All of it as one text; it is then empty.
    std::wstring TakeAll() {
        std::wstring all;
        all.reserve(length_);
        size_t from = front_;
        for (const std::wstring& chunk : chunks_) {
            all.append(chunk, from, std::wstring::npos);
            from = 0;
        }
        Clear();
        return all;
    }

    // Copies the next piece into `piece`: at most `most` characters, ended
    // at a line end where one lies in its second half, never inside a
    // surrogate pair. Consume takes it away once the box has it.
    void Next(size_t most, std::wstring* piece) const {
        piece->clear();
        size_t from = front_;
        for (const std::wstring& chunk : chunks_) {
            const size_t take = std::min(chunk.size() - from, most - piece->size());
            piece->append(chunk, from, take);
            from = 0;
            if (piece->size() == most) {
                break;
            }
        }
        if (piece->size() == length_) {
            return;
        }
        const size_t lineEnd = piece->rfind(L'\n');
        if (lineEnd != std::wstring::npos && lineEnd >= most / 2) {
            piece->resize(lineEnd + 1);
        } else if (piece->back() >= 0xD800 && piece->back() <= 0xDBFF) {
            piece->pop_back();
        }
    }

    void Consume(size_t count) {
        length_ -= count;
        while (count > 0) {
            const size_t left = chunks_.front().size() - front_;
            if (count < left) {
                front_ += count;
                return;
            }
            count -= left;
            chunks_.pop_front();
            front_ = 0;
        }
    }

    // Keeps the first `count` characters only.
    void Keep(size_t count) {
        std::wstring kept = TakeAll();
        kept.resize(std::min(kept.size(), count));
        Push(std::move(kept));
    }

    void Clear() {
        chunks_.clear();
        front_ = 0;
        length_ = 0;
    }

  private:
    std::deque<std::wstring> chunks_;
    // What of the first chunk the box has already.
    size_t front_ = 0;
    size_t length_ = 0;
};

// One drop's text on its way into the box.
struct Text {
    HWND box = nullptr;
    bool shown = false;
    bool lost = false;
    ReportDecoding decoding;
    Backlog waiting;
    // The next piece, in a room kept from one append to the next.
    std::wstring piece;
    // Some text of the drop needs the TrueType face.
    bool needsFallback = false;
    // The drop's text so far is empty or ends a line.
    bool endsLine = true;
    std::optional<AppendCost> last;
    // The box's text was taken out to be put in again (a new face or a new
    // decoding); the view goes back once that much is in again.
    std::optional<View> restore;
    size_t restoreAt = 0;
};
Text text;

// Courier New in whatever script the report needs, at the line height the
// box's own face has as the system made it. Also gives that face's code page.
UniqueFont MakeFallbackFont(HWND box, HFONT face, unsigned* codePage) {
    TEXTMETRICW metrics{};
    CHARSETINFO charset{};
    {
        WindowDc dc(box);
        DcSelection selected(dc.Get(), face);
        if (!GetTextMetricsW(dc.Get(), &metrics)) {
            return UniqueFont();
        }
        const UINT_PTR id = static_cast<UINT_PTR>(GetTextCharsetInfo(dc.Get(), nullptr, 0));
        *codePage = TranslateCharsetInfo(reinterpret_cast<DWORD*>(id), &charset, TCI_SRCCHARSET)
                        ? charset.ciACP
                        : 0;
    }
    LOGFONTW description{};
    // Positive: the cell height, as the line height is.
    description.lfHeight = metrics.tmHeight;
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    Widen(kFallbackFontFace).copy(description.lfFaceName, LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&description));
}

size_t BoxLength() {
    return static_cast<size_t>(GetWindowTextLengthW(text.box));
}

std::wstring BoxContent() {
    std::wstring content(BoxLength() + 1, L'\0');
    content.resize(static_cast<size_t>(
        GetWindowTextW(text.box, content.data(), static_cast<int>(content.size()))));
    return content;
}

View SaveView() {
    View view;
    SendMessageW(text.box, EM_GETSEL, reinterpret_cast<WPARAM>(&view.start),
                 reinterpret_cast<LPARAM>(&view.end));
    const LRESULT first = SendMessageW(text.box, EM_GETFIRSTVISIBLELINE, 0, 0);
    view.firstCharacter = SendMessageW(text.box, EM_LINEINDEX, static_cast<WPARAM>(first), 0);
    return view;
}

void RestoreView(const View& view) {
    SendMessageW(text.box, EM_SETSEL, view.start, view.end);
    const LRESULT wanted =
        SendMessageW(text.box, EM_LINEFROMCHAR, static_cast<WPARAM>(view.firstCharacter), 0);
    const LRESULT first = SendMessageW(text.box, EM_GETFIRSTVISIBLELINE, 0, 0);
    if (wanted != first) {
        SendMessageW(text.box, EM_LINESCROLL, 0, wanted - first);
    }
}

// The text in memory of the kind the box keeps its own in; null when there
// is none to be had.
UniqueLocalMemory<void> BoxBuffer(const std::wstring& with) {
    UniqueLocalMemory<void> buffer(LocalAlloc(LMEM_MOVEABLE, (with.size() + 1) * sizeof(wchar_t)));
    if (buffer) {
        auto* out = static_cast<wchar_t*>(LocalLock(buffer.Get()));
        std::copy(with.c_str(), with.c_str() + with.size() + 1, out);
        LocalUnlock(buffer.Get());
    }
    return buffer;
}

// Gives the box the buffer as its text, which costs it less than a text to
// copy.
void Replace(UniqueLocalMemory<void> buffer) {
    UniqueLocalMemory<void> previous(
        reinterpret_cast<HLOCAL>(SendMessageW(text.box, EM_GETHANDLE, 0, 0)));
    SendMessageW(text.box, EM_SETHANDLE, reinterpret_cast<WPARAM>(buffer.Release()), 0);
}

// Puts the face on the box, emptied first so that no text is laid out again
// in the new face; a new font would also bring margins of its own.
void PutFace(bool fallback) {
    HFONT wanted = fallback ? faces.fallback : faces.face;
    if (wanted == nullptr ||
        reinterpret_cast<HFONT>(SendMessageW(text.box, WM_GETFONT, 0, 0)) == wanted) {
        return;
    }
    const LRESULT margins = SendMessageW(text.box, EM_GETMARGINS, 0, 0);
    SetWindowTextW(text.box, L"");
    SendMessageW(text.box, WM_SETFONT, reinterpret_cast<WPARAM>(wanted), FALSE);
    SendMessageW(text.box, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, margins);
}

// What the box shows of the drop goes back to the front of what waits and
// the box is emptied, as a whole text laid out in one call would freeze the
// window. The view goes back once all of it is in again.
void TakeBackShown() {
    if (!text.shown || BoxLength() == 0) {
        return;
    }
    if (!text.restore) {
        text.restore = SaveView();
        text.restoreAt = BoxLength();
    }
    std::wstring all = BoxContent();
    all += text.waiting.TakeAll();
    text.waiting.Push(std::move(all));
    SetWindowTextW(text.box, L"");
}

void Lose() {
    text.lost = true;
    text.waiting.Clear();
    text.restore.reset();
}

void Queue(std::string_view bytes, bool ansi) {
    const size_t length = WideLength(bytes, ansi);
    if (length == 0) {
        return;
    }
    std::wstring chunk(length, L'\0');
    WidenInto(bytes, ansi, chunk.data(), length);
    text.endsLine = chunk.back() == L'\n';
    const bool fits =
        faces.codePage == 0 || text.needsFallback ||
        ChooseBoxFace(std::u16string_view(reinterpret_cast<const char16_t*>(chunk.data()), length),
                      faces.codePage) == BoxFace::Raster;
    text.waiting.Push(std::move(chunk));
    if (fits) {
        return;
    }
    // At most once a drop, and never back.
    text.needsFallback = true;
    if (text.shown) {
        TakeBackShown();
        PutFace(true);
    }
}

// The report turned out not to be UTF-8: all of it, shown or waiting, is
// taken again in the ANSI code page. What it was decoded into is its UTF-8
// again, byte for byte.
void DecodeAgainAsAnsi() {
    TakeBackShown();
    const std::string bytes = Narrow(text.waiting.TakeAll());
    Queue(bytes, true);
}

template <typename Work> void Guarded(Work work) {
    if (text.lost) {
        return;
    }
    try {
        work();
    } catch (const std::bad_alloc&) {
        Lose();
    } catch (const std::length_error&) {
        Lose();
    }
}

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

BoxFonts PutResultFonts(HWND dialog) {
    HWND box = GetDlgItem(dialog, kResultBoxId);
    if (box == nullptr) {
        return BoxFonts();
    }
    LOGFONTW description{};
    {
        WindowDc dc(box);
        description.lfHeight = ResultFontHeight(GetDeviceCaps(dc.Get(), LOGPIXELSY));
    }
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = ANSI_CHARSET;
    // Where Courier is missing, the nearest face should still be fixed-pitch.
    description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    Widen(kResultFontFace).copy(description.lfFaceName, LF_FACESIZE - 1);
    BoxFonts fonts;
    fonts.face.Reset(CreateFontIndirectW(&description));
    if (!fonts.face) {
        return fonts;
    }
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.face.Get()), TRUE);
    unsigned codePage = 0;
    fonts.fallback = MakeFallbackFont(box, fonts.face.Get(), &codePage);
    if (fonts.fallback) {
        faces = {fonts.face.Get(), fonts.fallback.Get(), codePage};
    }
    return fonts;
}

void BeginBoxText(HWND box) {
    EndBoxText();
    text.box = box;
}

void AddReportText(std::string_view bytes) {
    Guarded([bytes] {
        const ReportDecoding::Piece piece = text.decoding.Next(bytes);
        if (piece.redecodeShown) {
            DecodeAgainAsAnsi();
        }
        Queue(piece.bytes, piece.ansi);
    });
}

void AddFollowingText(const std::vector<std::string_view>& parts) {
    Guarded([&parts] {
        for (const std::string_view part : FollowingParts(text.endsLine, parts)) {
            Queue(part, !IsValidUtf8(part));
        }
    });
}

bool BoxTextWaiting() {
    return text.box != nullptr && !text.waiting.Empty();
}

void PutNextBoxText() {
    if (!BoxTextWaiting() || !IsWindow(text.box)) {
        return;
    }
    Guarded([] {
        const size_t boxLength = text.shown ? BoxLength() : 0;
        text.waiting.Next(NextPieceLength(text.last ? &*text.last : nullptr, boxLength),
                          &text.piece);
        const size_t length = text.piece.size();
        UniqueLocalMemory<void> first;
        if (!text.shown) {
            // Made before a new face empties the box, which so keeps what it
            // showed when there is no memory.
            first = BoxBuffer(text.piece);
            if (!first) {
                Lose();
                return;
            }
            PutFace(text.needsFallback);
        }
        const double begun = Seconds();
        if (first) {
            Replace(std::move(first));
            text.shown = true;
        } else {
            const View view = SaveView();
            SendMessageW(text.box, EM_SETSEL, boxLength, boxLength);
            SendMessageW(text.box, EM_REPLACESEL, FALSE,
                         reinterpret_cast<LPARAM>(text.piece.c_str()));
            RestoreView(view);
        }
        text.last = AppendCost{length, Seconds() - begun};
        const size_t now = BoxLength();
        if (now != boxLength + length) {
            // The box could not take it.
            Lose();
            return;
        }
        text.waiting.Consume(length);
        if (text.restore && now >= text.restoreAt) {
            RestoreView(*text.restore);
            text.restore.reset();
        }
    });
}

void DropWaitingBoxText() {
    // What was taken out of the box to be put in again stays.
    const size_t keep = text.restore ? text.restoreAt - std::min(text.restoreAt, BoxLength()) : 0;
    text.waiting.Keep(keep);
}

void FinishBoxText() {
    if (!text.shown && !text.lost && !BoxTextWaiting() && IsWindow(text.box)) {
        PutFace(false);
        SetWindowTextW(text.box, L"");
        text.shown = true;
    }
}

bool BoxTextShown() {
    return text.shown;
}

bool BoxTextLost() {
    return text.lost;
}

void EndBoxText() {
    text = Text();
}
