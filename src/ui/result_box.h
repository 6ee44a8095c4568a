// The text box's fonts and its text: a drop's report shown as it comes, in
// appends that each take a bounded time, with the user's view left alone.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "common/win_resources.h"

// The box's fonts: its own Courier face, and a fixed-pitch TrueType face of
// the same line height for reports that face cannot show whole.
struct BoxFonts {
    UniqueFont face;
    UniqueFont fallback;
};

// Creates the box's fonts at the box's own dots per inch and puts its own
// face on the box. A font that cannot be made is empty; without its own face
// the box keeps the window's font.
BoxFonts PutResultFonts(HWND dialog);

// Starts the box's text for a drop: its first text will replace the box's.
// The box starts in the face that shows all that has come by then; once
// text comes that only the TrueType face shows, the box switches to it for
// the rest of the drop.
void BeginBoxText(HWND box);

// The report's next bytes, as the tool wrote them.
void AddReportText(std::string_view bytes);

// Parts that follow the report (its errors, the program's lines), each on
// a line of its own and decoded on its own: UTF-8 when valid, else ANSI.
void AddFollowingText(const std::vector<std::string_view>& parts);

// Text waits to be put into the box.
bool BoxTextWaiting();

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

// Something of this drop's text has replaced what the box showed before.
bool BoxTextShown();

// Some of this drop's text could not be shown for want of memory.
bool BoxTextLost();

// The drop is over: the memory it held goes.
void EndBoxText();
