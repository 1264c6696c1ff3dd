#include "memory_budget.h"

namespace runtrail {

bool memory_budget::try_take(uint64_t bytes) {
    uint64_t held = held_.load();
    while (held + bytes <= limit_)
        if (held_.compare_exchange_weak(held, held + bytes)) return true;
    return false;
}

bool memory_budget::take(uint64_t number, uint64_t bytes, bool may_wait) {
    if (stopped_) return false;
    if (!may_wait || number == next_out_) {
        held_ += bytes;
        return true;
    }
    if (try_take(bytes)) return true;
    // A waiter counts itself before it looks again, under the lock, and whoever gives room back
    // looks at the count after: one of the two sees the other, so no wake-up is lost.
    std::unique_lock<std::mutex> hold(lock_);
    ++waiting_;
    bool took = true;
    for (;;) {
        if (stopped_) {
            took = false;
            break;
        }
        if (number == next_out_) {
            held_ += bytes;
            break;
        }
        if (try_take(bytes)) break;
        room_.wait(hold);
    }
    --waiting_;
    return took;
}

bool memory_budget::has_room() { return held_ < limit_; }

void memory_budget::wake_waiting() {
    if (waiting_ == 0) return;
    std::lock_guard<std::mutex> hold(lock_);
    room_.notify_all();
}

void memory_budget::give_back(uint64_t bytes) {
    held_ -= bytes;
    wake_waiting();
}

void memory_budget::next_out(uint64_t number) {
    next_out_ = number;
    wake_waiting();
}

void memory_budget::stop() {
    std::lock_guard<std::mutex> hold(lock_);
    stopped_ = true;
    room_.notify_all();
}

}  // namespace runtrail
