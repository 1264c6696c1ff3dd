// The memory a parallel run's tasks may hold at once, counted in bytes rather than files: the
// files being read, their images, records and reports, until each report is put out. A task waits
// for room before it takes memory in proportion to its file, except the next task to be put out,
// which always goes on however large its file: the run cannot stall, and memory stays within the
// budget and that one file whatever the thread count.
//
// Taking and giving back are a few atomic operations; the lock is taken only by a task that must
// wait and by whoever then wakes it, since every file passes here several times.
#pragma once

#include <atomic>
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
    bool try_take(uint64_t bytes);  // takes `bytes` if they fit under the limit
    void wake_waiting();

    std::mutex lock_;  // taken by tasks that wait, and to wake them
    std::condition_variable room_;
    const uint64_t limit_;
    std::atomic<uint64_t> held_{0};
    std::atomic<uint64_t> next_out_{0};
    std::atomic<unsigned> waiting_{0};
    std::atomic<bool> stopped_{false};
};

}  // namespace runtrail
