// What the tool writes on standard error, cut into each request's share at
// the numbered marker that the request has the tool echo there.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

#include "driver/protocol.h"

class ErrorStream {
  public:
    // One request's share of the stream.
    struct Share {
        std::string text;
        // Some of it could not be held for want of memory.
        bool lost = false;
    };

    // Called by the thread that reads the stream. Never throws: bytes there
    // is no memory for, or that would make it hold more than `largest`, are
    // dropped, and the next share says so.
    void Append(std::string_view bytes, size_t largest = kLargestReport);
    // The stream has ended: nothing more will come.
    void End();

    // Waits until the marker has come at the start of a line, the stream has
    // ended or `wait` has passed, and takes what came before the marker since
    // the last marker of an earlier request (or the start). Without the
    // marker it takes the whole lines that came since, and keeps a last line
    // without its line end for the next take: it may be the start of the
    // late marker.
    Share Take(std::string_view marker, std::chrono::milliseconds wait);

    // The memory it holds on to, for tests.
    size_t Capacity();

    // What it keeps room for between takes; a flood's peak is given back.
    static constexpr size_t kKeptCapacity = size_t{64} * 1024;

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::string held_;
    bool ended_ = false;
    bool lost_ = false;
};
