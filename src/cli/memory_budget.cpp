#include "memory_budget.h"

namespace runtrail {

bool memory_budget::take(uint64_t number, uint64_t bytes, bool may_wait) {
    std::unique_lock<std::mutex> hold(lock_);
    const auto may_go = [&] { return stopped_ || number == next_out_ || held_ + bytes <= limit_; };
    if (may_wait && !may_go()) {
        ++waiting_;
        room_.wait(hold, may_go);
        --waiting_;
    }
    if (stopped_) return false;
    held_ += bytes;
    return true;
}

bool memory_budget::has_room() {
    std::lock_guard<std::mutex> hold(lock_);
    return held_ < limit_;
}

void memory_budget::give_back(uint64_t bytes) {
    std::lock_guard<std::mutex> hold(lock_);
    held_ -= bytes;
    if (waiting_ > 0) room_.notify_all();
}

void memory_budget::next_out(uint64_t number) {
    std::lock_guard<std::mutex> hold(lock_);
    next_out_ = number;
    if (waiting_ > 0) room_.notify_all();
}

void memory_budget::stop() {
    std::lock_guard<std::mutex> hold(lock_);
    stopped_ = true;
    room_.notify_all();
}

}  // namespace runtrail
