// A multi-file run spread over several threads: N threads read, parse and render the files, and
// the calling thread, one of the N, puts the tasks out strictly in input order and works the
// waiting ones whenever the next in order is not ready. Names from standard input are taken on a
// thread of their own as a producer writes them; those of a walk by whichever thread runs short of
// tasks. A fixed number of tasks per thread is under way at any time, whatever the number of names
// and however long one file takes, and the memory they hold stays within one budget in bytes
// whatever the thread count.
#pragma once

#include <cstdint>
#include <functional>

#include "file_task.h"
#include "memory_budget.h"

namespace runtrail {

struct parallel_run {
    unsigned workers = 2;  // threads that work the tasks, the calling thread among them
    // Fills the next task; false when there are no more. Runs on a thread of its own and may block
    // (a slow producer of names): it must own everything it uses, since a run that ends early does
    // not wait for it.
    std::function<bool(file_task&)> next_task;
    // The names may be a long time coming (standard input): they are taken on a thread of their
    // own, so that each is reported as it comes. Otherwise (a walk) the calling thread takes them.
    bool names_may_wait = true;
    // Makes a worker for one thread, counting its files' memory in the run's budget and copying
    // large reports into the run's spare texts; `may_wait` is false for the calling thread's own
    // worker, which must never wait for room.
    std::function<file_worker(memory_budget& budget, spare_report_texts& spare_reports, bool may_wait)> make_worker;
    // Puts a task out, on the calling thread, in input order; false ends the run (the output failed).
    std::function<bool(file_task&)> emit;
    // Called on the calling thread when no task has been ready for a while (names arriving slowly):
    // the time to hand what is buffered to the output.
    std::function<void()> idle;
    // Asked while waiting and before each task is put out: true ends the run at once (a signal).
    std::function<bool()> interrupted;
};

// Bytes the files under way may hold at once: the reports waiting to be put out, the records and
// images being made. One file always goes on however large it is.
constexpr uint64_t k_parallel_memory_budget = uint64_t{256} << 20;  // 256 MiB

void run_in_parallel(const parallel_run& run);

// Workers for a run without -threads: one per processor the process may run on, at most 64.
unsigned default_worker_count();

}  // namespace runtrail
