// The drops not yet answered, in the order they came. One is worked on at a
// time; drops that come meanwhile, or while its message boxes are open, wait.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

class DropQueue {
  public:
    void Add(std::vector<std::string> paths);

    // The next drop, when one waits and none is being worked on; it is then
    // worked on until Finish.
    std::optional<std::vector<std::string>> Begin();
    void Finish();

    bool Busy() const { return busy_; }
    size_t Waiting() const { return waiting_.size(); }

  private:
    std::deque<std::vector<std::string>> waiting_;
    bool busy_ = false;
};
