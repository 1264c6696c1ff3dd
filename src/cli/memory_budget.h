// The memory a parallel run's tasks may hold at once, counted in bytes rather than files: the
// files being read, their images, records and reports, until each report is put out. A task waits
// for room before it takes memory in proportion to its file, except the next task to be put out,
// which always goes on however large its file: the run cannot stall, and memory stays within the
// budget and that one file whatever the thread count.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace runtrail {

class memory_budget {
public:
    explicit memory_budget(uint64_t limit) : limit_(limit) {}

    // Takes `bytes` for the task numbered `number`, waiting (when `may_wait`) while they would pass
    // the limit and the task is not the next to be put out. False once the run is stopping: the
    // task is left undone.
    bool take(uint64_t number, uint64_t bytes, bool may_wait);
    // True while less than the limit is taken.
    bool has_room();
    // A put-out task's bytes, given back.
    void give_back(uint64_t bytes);
    // The task numbered `number` is now the next to be put out.
    void next_out(uint64_t number);
    // The run ends early: nothing waits any more, and nothing more is taken.
    void stop();

private:
    std::mutex lock_;
    std::condition_variable room_;
    const uint64_t limit_;
    uint64_t held_ = 0;
    uint64_t next_out_ = 0;
    unsigned waiting_ = 0;
    bool stopped_ = false;
};

}  // namespace runtrail
