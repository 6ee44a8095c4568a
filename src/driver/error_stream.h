// What the tool writes on standard error, cut into each request's share at
// the numbered marker that the request has the tool echo there.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

class ErrorStream {
  public:
    // One request's share of the stream.
    struct Share {
        std::string text;
        // Some of it could not be held for want of memory.
        bool lost = false;
    };

    // Called by the thread that reads the stream. Never throws: bytes there
    // is no memory for are dropped, and the next share says so.
    void Append(std::string_view bytes);
    // The stream has ended: nothing more will come.
    void End();

    // Waits until the marker has come at the start of a line, the stream has
    // ended or `wait` has passed, and takes what came before the marker since
    // the last marker of an earlier request (or the start); without the
    // marker, all that has come since.
    Share Take(std::string_view marker, std::chrono::milliseconds wait);

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::string held_;
    bool ended_ = false;
    bool lost_ = false;
};
