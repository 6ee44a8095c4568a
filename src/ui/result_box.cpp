#include "ui/result_box.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
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
#include "ui/held_box_text.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 is wchar_t here");

// The box's fonts, which window_dpi owns for as long as the box may use
// them, and the code page of its own face; 0 where the system cannot tell it.
struct Faces {
    HFONT face = nullptr;
    HFONT fallback = nullptr;
    unsigned codePage = 0;
};
Faces faces;

// Where the user has the box: the selection, with the end the user moves,
// and the first line in view, named by its first character so that a new
// layout keeps it.
struct View {
    DWORD start = 0;
    DWORD end = 0;
    // A selection made upwards: its anchor is its end.
    bool caretAtStart = false;
    LRESULT firstCharacter = 0;
};

// The ANSI code page's lead bytes, for a double-byte code page.
const LeadBytes& AnsiLeadBytes() {
    static const LeadBytes leads = [] {
        LeadBytes made;
        for (unsigned byte = 0x80; byte < 0x100; ++byte) {
            made.set(byte, IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(byte)) != FALSE);
        }
        return made;
    }();
    return leads;
}

// One drop's text on its way into the box.
struct Text {
    HWND box = nullptr;
    bool shown = false;
    bool lost = false;
    ReportDecoding decoding{AnsiLeadBytes()};
    Backlog waiting;
    // The next piece, in a room kept from one append to the next.
    std::u16string piece;
    // Some text of the drop needs the TrueType face.
    bool needsFallback = false;
    // What the appends of the drop cost, to size the next.
    AppendCosts costs;
    // The box's text was taken out to be put in again (a new face or a new
    // decoding): how much of what waits it was, and the view that goes back
    // once that is in again.
    size_t restoreLeft = 0;
    std::optional<View> restore;
    // Memory ran out while putting text in: the pieces are the smallest.
    bool squeezed = false;
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

// The last character of the drop's text so far, in the box or waiting; 0
// where there is none.
char16_t LastCharacter() {
    if (!text.waiting.Empty()) {
        return text.waiting.Back();
    }
    if (!text.shown) {
        return u'\0';
    }
    const HeldBoxText held(text.box);
    return held.Text().empty() ? u'\0' : held.Text().back();
}

// Which end of the selection the caret is at, as the box tells no anchor:
// the caret is drawn where the character at that end is. A box without the
// focus has no caret; its selection keeps the end last judged.
bool CaretAtStart(HWND box, DWORD start, DWORD end) {
    static View judged;
    POINT caret{};
    if (start == end) {
        return false;
    }
    if (GetFocus() != box || !GetCaretPos(&caret)) {
        return judged.start == start && judged.end == end && judged.caretAtStart;
    }
    // Past the last character the box gives no position (-1), and far from
    // view its coordinates wrap as the caret's do: so only a match counts.
    const auto at = [box, &caret](DWORD character) {
        const LRESULT position = SendMessageW(box, EM_POSFROMCHAR, character, 0);
        return position != -1 && std::abs(static_cast<short>(LOWORD(position)) - caret.x) <= 1 &&
               static_cast<short>(HIWORD(position)) == static_cast<short>(caret.y);
    };
    judged = View{start, end, at(start) && !at(end), 0};
    return judged.caretAtStart;
}

View SaveView(HWND box = text.box) {
    View view;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&view.start),
                 reinterpret_cast<LPARAM>(&view.end));
    view.caretAtStart = CaretAtStart(box, view.start, view.end);
    const LRESULT first = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    view.firstCharacter = SendMessageW(box, EM_LINEINDEX, static_cast<WPARAM>(first), 0);
    return view;
}

void RestoreView(const View& view, HWND box = text.box) {
    // EM_SETSEL puts the caret at its second end: the anchor goes first.
    if (view.caretAtStart) {
        SendMessageW(box, EM_SETSEL, view.end, view.start);
    } else {
        SendMessageW(box, EM_SETSEL, view.start, view.end);
    }
    const LRESULT wanted =
        SendMessageW(box, EM_LINEFROMCHAR, static_cast<WPARAM>(view.firstCharacter), 0);
    const LRESULT first = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    if (wanted != first) {
        SendMessageW(box, EM_LINESCROLL, 0, wanted - first);
    }
}

// The text in memory of the kind the box keeps its own in; null when there
// is none to be had.
UniqueLocalMemory<void> BoxBuffer(const std::u16string& with) {
    UniqueLocalMemory<void> buffer(LocalAlloc(LMEM_MOVEABLE, (with.size() + 1) * sizeof(wchar_t)));
    if (buffer) {
        auto* out = static_cast<char16_t*>(LocalLock(buffer.Get()));
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

// A new font would bring margins of its own: the box keeps those it has.
void SetFontKeepingMargins(HWND box, HFONT font) {
    const LRESULT margins = SendMessageW(box, EM_GETMARGINS, 0, 0);
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(box, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, margins);
}

// Puts the face on the box, emptied first so that no text is laid out again
// in the new face.
void PutFace(bool fallback) {
    HFONT wanted = fallback ? faces.fallback : faces.face;
    if (wanted == nullptr ||
        reinterpret_cast<HFONT>(SendMessageW(text.box, WM_GETFONT, 0, 0)) == wanted) {
        return;
    }
    SetWindowTextW(text.box, L"");
    SetFontKeepingMargins(text.box, wanted);
}

// What the box shows of the drop goes back to the front of what waits and
// the box is emptied, as a whole text laid out in one call would freeze the
// window. The view goes back once all of it is in again, counted in what
// waits, so that the user's typing meanwhile changes nothing of that.
void TakeBackShown() {
    if (!text.shown || BoxLength() == 0) {
        return;
    }
    if (!text.restore) {
        text.restore = SaveView();
    }
    std::u16string shown(HeldBoxText(text.box).Text());
    const size_t size = shown.size();
    text.waiting.PushFront(std::move(shown));
    text.restoreLeft += size;
    SetWindowTextW(text.box, L"");
}

// Memory ran out for the drop's text: the rest goes unshown. What the box
// showed and had taken out still goes back, unless the box itself failed.
void Lose(bool evenTakenOut = false) {
    text.lost = true;
    text.waiting.Keep(evenTakenOut ? 0 : text.restoreLeft);
    if (text.waiting.Empty()) {
        text.restoreLeft = 0;
        text.restore.reset();
    }
}

// The bytes as the box shows them: a zero byte, which would end its text,
// as a mark.
std::u16string Decoded(std::string_view bytes, bool ansi) {
    const size_t length = WideLength(bytes, ansi);
    std::u16string decoded(length, u'\0');
    WidenInto(bytes, ansi, reinterpret_cast<wchar_t*>(decoded.data()), length);
    std::replace(decoded.begin(), decoded.end(), u'\0', kZeroMark);
    return decoded;
}

void Queue(std::u16string chunk) {
    if (chunk.empty()) {
        return;
    }
    const bool fits = faces.codePage == 0 || text.needsFallback ||
                      ChooseBoxFace(chunk, faces.codePage) == BoxFace::Raster;
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
// taken again in the ANSI code page, with the piece that told. What it was
// decoded into is its UTF-8 again, byte for byte; what was shown of it and
// the view are counted again in the new decoding's characters.
void DecodeAgainAsAnsi(std::string_view piece) {
    TakeBackShown();
    // Copied, so that what was shown is still there if memory runs out.
    std::u16string before;
    text.waiting.CopyFront(text.waiting.Length(), &before);
    // A mark that was in the report itself is taken as a zero too: rare, and
    // only one character's reading changes.
    std::replace(before.begin(), before.end(), kZeroMark, u'\0');
    std::string bytes =
        Narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(before.data()), before.size()));
    bytes += piece;
    const std::string_view all = bytes;
    const auto again = [&](size_t units) {
        const std::string_view head =
            all.substr(0, Utf8Length(std::u16string_view(before).substr(0, units)));
        return WideLength(head.substr(0, WholeCharacters(head, AnsiLeadBytes())), true);
    };
    const size_t restoreLeft = again(text.restoreLeft);
    std::optional<View> restore = text.restore;
    if (restore) {
        restore->start = static_cast<DWORD>(again(restore->start));
        restore->end = static_cast<DWORD>(again(restore->end));
        restore->firstCharacter =
            static_cast<LRESULT>(again(static_cast<size_t>(restore->firstCharacter)));
    }
    Queue(Decoded(all, true));
    text.waiting.Consume(before.size());
    text.restoreLeft = restoreLeft;
    text.restore = restore;
}

// Work on the drop's text that memory may fail. Once some was lost, no more
// comes in, but what the box showed and took out still goes back: putting it
// in is tried once more in the smallest pieces before it too is given up.
template <typename Work> void Guarded(Work work, bool putting = false) {
    if (text.lost && !putting) {
        return;
    }
    try {
        work();
    } catch (const std::exception&) {
        // Lost only if the smallest pieces were tried already.
        Lose(putting && text.squeezed);
        text.squeezed = text.squeezed || putting;
    }
}

// Appends the text, up to its first zero, at the box's end.
void Append(size_t at, const char16_t* chars) {
    SendMessageW(text.box, EM_SETSEL, at, at);
    SendMessageW(text.box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(chars));
}

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Both of the box's fonts for the DPI, by one rule at start and on a move
// to a monitor of another scale. A font that cannot be made is empty.
BoxFonts MakeBoxFonts(HWND box, int dpi, unsigned* codePage) {
    LOGFONTW description{};
    description.lfHeight = ResultFontHeight(dpi);
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = ANSI_CHARSET;
    // Where Courier is missing, the nearest face should still be fixed-pitch.
    description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    Widen(kResultFontFace).copy(description.lfFaceName, LF_FACESIZE - 1);
    BoxFonts fonts;
    fonts.face.Reset(CreateFontIndirectW(&description));
    if (fonts.face) {
        fonts.fallback = MakeFallbackFont(box, fonts.face.Get(), codePage);
    }
    return fonts;
}

} // namespace

BoxFonts PutResultFonts(HWND dialog, int dpi) {
    HWND box = GetDlgItem(dialog, kResultBoxId);
    if (box == nullptr) {
        return BoxFonts();
    }
    unsigned codePage = 0;
    BoxFonts fonts = MakeBoxFonts(box, dpi, &codePage);
    if (!fonts.face) {
        return fonts;
    }
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.face.Get()), TRUE);
    faces = fonts.fallback ? Faces{fonts.face.Get(), fonts.fallback.Get(), codePage} : Faces();
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
            DecodeAgainAsAnsi(piece.bytes);
        } else {
            Queue(Decoded(piece.bytes, piece.ansi));
        }
    });
}

void EndReportText() {
    Guarded([] { Queue(Decoded(text.decoding.Rest(), true)); });
}

void AddFollowingText(const std::vector<std::string_view>& parts) {
    Guarded([&parts] {
        for (const std::string_view part : FollowingParts(LastCharacter(), parts)) {
            Queue(Decoded(part, !IsValidUtf8(part)));
        }
    });
}

bool BoxTextWaiting() {
    return text.box != nullptr && !text.waiting.Empty();
}

bool UnshownBoxTextWaiting() {
    return text.box != nullptr && text.waiting.Length() > text.restoreLeft;
}

void PutNextBoxText() {
    if (!BoxTextWaiting() || !IsWindow(text.box)) {
        return;
    }
    Guarded(
        [] {
            const size_t boxLength = text.shown ? BoxLength() : 0;
            text.waiting.Next(text.squeezed ? kSmallestPiece
                                            : NextPieceLength(text.costs.Last(), boxLength,
                                                              text.costs.Growing(boxLength)),
                              &text.piece);
            const size_t length = text.piece.size();
            UniqueLocalMemory<void> first;
            if (!text.shown) {
                // Made before a new face empties the box, which so keeps what it
                // showed when there is no memory.
                first = BoxBuffer(text.piece);
                if (!first) {
                    Lose(true);
                    return;
                }
                PutFace(text.needsFallback);
            }
            const bool whole = first.Valid();
            const double begun = Seconds();
            if (first) {
                Replace(std::move(first));
                text.shown = true;
            } else {
                const View view = SaveView();
                Append(boxLength, text.piece.c_str());
                RestoreView(view);
            }
            text.costs.Add(length, boxLength, Seconds() - begun, whole);
            const size_t now = BoxLength();
            if (now != boxLength + length) {
                // The box could not take it.
                Lose(true);
                return;
            }
            text.waiting.Consume(length);
            if (text.restoreLeft > 0) {
                text.restoreLeft -= std::min(text.restoreLeft, length);
                if (text.restoreLeft == 0 && text.restore) {
                    RestoreView(*text.restore);
                    text.restore.reset();
                }
            }
        },
        true);
}

void DropWaitingBoxText() {
    // What was taken out of the box to be put in again stays.
    text.waiting.Keep(text.restoreLeft);
}

void FinishBoxText() {
    if (!text.shown && !text.lost && !BoxTextWaiting() && IsWindow(text.box)) {
        PutFace(false);
        SetWindowTextW(text.box, L"");
        text.shown = true;
    }
}

std::u16string BoxTextTakenOut() {
    std::u16string out;
    text.waiting.CopyFront(text.restoreLeft, &out);
    return out;
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

BoxFonts ChangeBoxFonts(HWND box, int dpi, const RECT& area) {
    unsigned codePage = 0;
    BoxFonts fresh = MakeBoxFonts(box, dpi, &codePage);
    const HFONT shown = reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0));
    const bool onFallback = shown != nullptr && shown == faces.fallback;
    const View view = SaveView(box);
    // The text is set aside while the font and the size change, so that the
    // box lays it out once rather than at each change.
    const HLOCAL kept = reinterpret_cast<HLOCAL>(SendMessageW(box, EM_GETHANDLE, 0, 0));
    UniqueLocalMemory<void> placeholder = BoxBuffer(std::u16string());
    const bool setAside = kept != nullptr && placeholder;
    if (setAside) {
        SendMessageW(box, EM_SETHANDLE, reinterpret_cast<WPARAM>(placeholder.Release()), 0);
    }
    if (fresh.face) {
        // The margins the own face brings, as at start; the TrueType face
        // keeps them, as at a switch.
        SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(fresh.face.Get()), FALSE);
        if (onFallback && fresh.fallback) {
            SetFontKeepingMargins(box, fresh.fallback.Get());
        }
        faces = fresh.fallback ? Faces{fresh.face.Get(), fresh.fallback.Get(), codePage} : Faces();
    }
    MoveWindow(box, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    if (setAside) {
        placeholder.Reset(reinterpret_cast<HLOCAL>(SendMessageW(box, EM_GETHANDLE, 0, 0)));
        SendMessageW(box, EM_SETHANDLE, reinterpret_cast<WPARAM>(kept), 0);
    }
    RestoreView(view, box);
    return fresh;
}
