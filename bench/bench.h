// What the measurements share: the clock, side-by-side timing, the table
// rows, a minimal client of the tool, the program's window driven as the
// shell drives it, and test files.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/win_resources.h"
#include "window/drop_window.h"

inline constexpr size_t kMiB = 1024 * 1024;

// Seconds on the performance counter.
double Now();
double Median(std::vector<double> values);

// Runs the two alternately, so that both see the same machine, and gives
// the median time of each in seconds.
std::pair<double, double> SideBySide(int rounds, const std::function<void()>& ours,
                                     const std::function<void()>& reference);

void Row(const std::string& what, double ours, double reference, const std::string& note);

// A bare stay-open client: one process, two pipes, one write per request and
// a plain end-of-text test. The reference for what the program adds.
class MinimalClient {
  public:
    explicit MinimalClient(const std::string& tool);
    ~MinimalClient();
    MinimalClient(const MinimalClient&) = delete;
    MinimalClient& operator=(const MinimalClient&) = delete;

    void Send(const std::string& text);
    // With `framed`, the tool also marks the end of its errors, as the
    // program has it do.
    std::string Request(const std::vector<std::string>& paths, bool framed = false);
    // Reads a known number of bytes with no look at their content.
    size_t ReadBytes(size_t count);

  private:
    UniqueHandle in_;
    UniqueHandle out_;
    UniqueHandle process_;
};

// Tiny PNG files named img0000.png on, made in the folder.
std::vector<std::string> MakeImages(const std::string& folder, size_t count);
void WriteFileBytes(const std::string& path, const void* bytes, size_t size);

size_t PeakWorkingSet();
size_t WorkingSet();

// Median time to put a report into an emptied box, piece by piece.
double ShowTime(HWND box, const std::string& report, int rounds);

// The measurements, one file each.
void DropToReport(const std::string& tool, const std::string& work);
void ErrorFraming(const std::string& tool, const std::string& work);
void AgainstProcessPerDrop(const std::string& tool, const std::string& work);
void LargeReports(const std::string& standIn);
void ShowingLargeReports();
void StartUp(const std::string& program, const std::string& bare, const std::string& tool);
int Memory(const std::string& standIn);
int Soak(const std::string& tool, const std::string& work, int drops);
int BareClient(const std::string& tool, const std::string& folder);
int FindInBigReport(const std::string& tool, const std::string& folder, const std::string& last);
