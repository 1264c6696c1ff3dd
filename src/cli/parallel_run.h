// A multi-file run spread over several threads: one takes the names as they come (from standard
// input as a producer writes them, or from the walk as it walks), N threads read, parse and render
// the files, and the calling thread, one of the N, puts the tasks out strictly in input order and
// works the waiting ones whenever the next in order is not ready. A fixed number of tasks per thread
// is under way at any time, whatever the number of names and however long one file takes, so memory
// stays flat.
#pragma once

#include <functional>

#include "file_task.h"

namespace runtrail {

struct parallel_run {
    unsigned workers = 2;  // threads that work the tasks, the calling thread among them
    // Fills the next task; false when there are no more. Runs on a thread of its own and may block
    // (a slow producer of names): it must own everything it uses, since a run that ends early does
    // not wait for it.
    std::function<bool(file_task&)> next_task;
    // Makes a worker for one thread.
    std::function<file_worker()> make_worker;
    // Puts a task out, on the calling thread, in input order; false ends the run (the output failed).
    std::function<bool(file_task&)> emit;
    // Called on the calling thread when no task has been ready for a while (names arriving slowly):
    // the time to hand what is buffered to the output.
    std::function<void()> idle;
};

void run_in_parallel(const parallel_run& run);

// Workers for a run without -threads: one per processor the process may run on, at most 64.
unsigned default_worker_count();

}  // namespace runtrail
