#include "ui/drop_queue.h"

#include <utility>

void DropQueue::Add(std::vector<std::string> paths) {
    waiting_.push_back(std::move(paths));
}

std::optional<std::vector<std::string>> DropQueue::Begin() {
    if (busy_ || waiting_.empty()) {
        return std::nullopt;
    }
    std::optional<std::vector<std::string>> next(std::move(waiting_.front()));
    waiting_.pop_front();
    busy_ = true;
    return next;
}

void DropQueue::Finish() {
    busy_ = false;
}
