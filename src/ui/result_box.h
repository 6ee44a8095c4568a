// The text box's fonts and its text: a drop's report shown as it comes, in
// appends that each take a bounded time, with the user's view left alone.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/win_resources.h"

// The box's fonts: its own Courier face, and a fixed-pitch TrueType face of
// the same line height for reports that face cannot show whole.
struct BoxFonts {
    UniqueFont face;
    UniqueFont fallback;
};

// Creates the box's fonts for the window's dots per inch and puts its own
// face on the box. A font that cannot be made is empty; without its own face
// the box keeps the window's font.
BoxFonts PutResultFonts(HWND dialog, int dpi);

// Starts the box's text for a drop: its first text will replace the box's.
// The box starts in the face that shows all that has come by then; once
// text comes that only the TrueType face shows, the box switches to it for
// the rest of the drop.
void BeginBoxText(HWND box);

// The report's next bytes, as the tool wrote them.
void AddReportText(std::string_view bytes);
// The report is over: what was held back of it, a lead byte whose trail never
// came, is shown too.
void EndReportText();

// Parts that follow the report (its errors, the program's lines), each on
// a line of its own and decoded on its own: UTF-8 when valid, else ANSI.
void AddFollowingText(const std::vector<std::string_view>& parts);

// Text waits to be put into the box.
bool BoxTextWaiting();

// Text waits that the box has not shown yet.
bool UnshownBoxTextWaiting();

// Puts the next piece of the waiting text into the box, one that takes a
// bounded time however much waits, keeping the user's selection and where
// the box is scrolled to.
void PutNextBoxText();

// What waits goes unshown (the drop was cancelled); what the box shows of
// the drop stays.
void DropWaitingBoxText();

// All of the drop's text has been given: where there was none, the box is
// emptied.
void FinishBoxText();

// What the box showed of the drop and had taken out to put in again: the
// box's text continues with it until it is all in.
std::u16string BoxTextTakenOut();

// Something of this drop's text has replaced what the box showed before.
bool BoxTextShown();

// Some of this drop's text could not be shown for want of memory.
bool BoxTextLost();

// The drop is over: the memory it held goes.
void EndBoxText();

// The window moved to a monitor of another scale: the box gets both fonts
// made again for `dpi` by PutResultFonts' rule, and `area` (in its window's
// client pixels). It stays on the face it shows (so a drop that needs the
// TrueType face keeps it), with its text, selection and first line in view.
// It then uses none of its old fonts; the caller owns the new ones, empty
// (the old kept) when they could not be made.
BoxFonts ChangeBoxFonts(HWND box, int dpi, const RECT& area);
