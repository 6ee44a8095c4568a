// The program's window driven from inside its own process, as the shell and
// the window's loop drive it: for the driver tests and the benchmarks.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/window_dpi.h"

// A drop as the shell makes one: DROPFILES and the wide paths behind it.
HDROP MakeDrop(const std::vector<std::string>& paths);

class DropWindow {
  public:
    // The window with its fonts and drop handling, shown.
    DropWindow();
    ~DropWindow();
    DropWindow(const DropWindow&) = delete;
    DropWindow& operator=(const DropWindow&) = delete;

    // Drops the paths on the box, as the shell does.
    void Drop(const std::vector<std::string>& paths);
    // Runs the window's loop until `done` holds; false when `seconds` passed
    // first.
    bool RunUntil(const std::function<bool()>& done, double seconds = 60);
    // Runs it until no drop is being worked on or shown.
    bool RunUntilAnswered(double seconds = 60);
    // Both: a drop answered and shown.
    bool DropAndWait(const std::vector<std::string>& paths, double seconds = 60);

    HWND Dialog() const { return dialog_; }
    HWND Box() const { return edit_; }
    std::wstring Text() const;
    size_t TextLength() const;
    const BoxFonts& Fonts() const { return CurrentBoxFonts(); }

  private:
    HWND dialog_;
    HWND edit_ = nullptr;
};
