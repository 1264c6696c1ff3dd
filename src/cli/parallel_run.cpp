#include "parallel_run.h"

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace runtrail {
namespace {

// Tasks under way per worker, and how many a worker takes at once. A file takes some tens of
// microseconds, about what handing one task from thread to thread costs: tasks go in small batches,
// and a thread is woken only when another waits for it.
constexpr unsigned k_tasks_per_worker = 32;
constexpr size_t k_batch = 8;
constexpr unsigned k_most_default_workers = 64;
// How long the output may hold finished reports back while the next one is not ready.
constexpr std::chrono::milliseconds k_idle_after{50};

// What the threads share. The name thread keeps it alive on its own, so that a run that ends while
// it waits for a name can leave it waiting.
struct shared_run {
    explicit shared_run(size_t capacity) : tasks(capacity), worked(capacity, false), budget(k_parallel_memory_budget) {
        for (auto& task : tasks) task = std::make_unique<file_task>();
    }

    std::mutex lock;
    std::condition_variable work_ready;    // idle workers wait for tasks
    std::condition_variable result_ready;  // the calling thread waits for the next task in order
    std::condition_variable room;          // the name thread waits for room
    // The tasks under way, by number modulo capacity. Each is used again and again, so that its texts
    // keep their memory from file to file.
    std::vector<std::unique_ptr<file_task>> tasks;
    std::vector<bool> worked;
    memory_budget budget;
    uint64_t taken = 0;     // tasks taken from the names
    uint64_t handed = 0;    // tasks handed to workers
    uint64_t put_out = 0;   // tasks put out
    unsigned idle_workers = 0;
    bool waiting_for_result = false;
    bool waiting_for_room = false;
    bool names_done = false;
    bool name_thread_done = false;
    bool stop = false;

    size_t capacity() const { return tasks.size(); }
    size_t slot(uint64_t number) const { return static_cast<size_t>(number % capacity()); }
    bool next_ready() const { return (put_out < taken && worked[slot(put_out)]) || (names_done && put_out == taken); }
};

void take_names(const std::shared_ptr<shared_run>& shared, std::function<bool(file_task&)> next_task) {
    shared_run& s = *shared;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(s.lock);
            s.waiting_for_room = true;
            s.room.wait(hold, [&] { return s.stop || s.taken - s.put_out < s.capacity(); });
            s.waiting_for_room = false;
            if (s.stop) break;
        }
        // The next number's slot is free: no other thread touches it until the number is taken.
        file_task& task = *s.tasks[s.slot(s.taken)];
        task.clear();
        task.number = s.taken;
        const bool more = next_task(task);  // may wait for a name a long time
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.stop) break;
        if (!more) {
            s.names_done = true;
            s.work_ready.notify_all();
            if (s.waiting_for_result) s.result_ready.notify_one();
            break;
        }
        s.worked[s.slot(s.taken++)] = false;
        if (s.idle_workers > 0) s.work_ready.notify_one();
    }
    std::lock_guard<std::mutex> hold(s.lock);
    s.name_thread_done = true;
}

void work_tasks(shared_run& s, file_worker worker) {
    std::vector<uint64_t> batch;
    batch.reserve(k_batch);
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(s.lock);
            ++s.idle_workers;
            s.work_ready.wait(hold, [&] { return s.stop || s.handed < s.taken || s.names_done; });
            --s.idle_workers;
            if (s.stop || s.handed == s.taken) return;
            // An even share of what is waiting, at most a batch, so that no worker idles while
            // another holds several tasks.
            const uint64_t waiting = s.taken - s.handed;
            const uint64_t share = std::clamp<uint64_t>(waiting / (s.idle_workers + 1), 1, k_batch);
            for (uint64_t n = 0; n < share; ++n) batch.push_back(s.handed++);
        }
        for (const uint64_t number : batch) {
            worker.work(*s.tasks[s.slot(number)]);
            // Each task is done as soon as it is worked, not with its batch: the next to be put out
            // may be this one, and a later task of the batch may be waiting for memory that only
            // putting it out gives back.
            std::lock_guard<std::mutex> hold(s.lock);
            s.worked[s.slot(number)] = true;
            if (s.waiting_for_result && s.put_out == number) s.result_ready.notify_one();
        }
        batch.clear();
    }
}

}  // namespace

unsigned default_worker_count() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    const int count = sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
    return std::clamp<unsigned>(static_cast<unsigned>(count), 1, k_most_default_workers);
}

void run_in_parallel(const parallel_run& run) {
    auto shared = std::make_shared<shared_run>(size_t{k_tasks_per_worker} * run.workers);
    shared_run& s = *shared;
    std::thread names(take_names, shared, run.next_task);
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < run.workers; ++i)
        workers.emplace_back(work_tasks, std::ref(s), run.make_worker(s.budget, true));

    // While the next task in order is not ready, the calling thread works waiting tasks itself
    // rather than sleep. It never waits for memory: only it puts tasks out and gives memory back.
    file_worker own_worker = run.make_worker(s.budget, false);
    std::unique_lock<std::mutex> hold(s.lock);
    const auto next_ready = [&] { return s.next_ready(); };
    for (;;) {
        // With memory tight it leaves them to the workers, which wait for room where it cannot.
        while (!s.next_ready() && s.handed < s.taken && s.budget.has_room()) {
            const uint64_t number = s.handed++;
            file_task& waiting = *s.tasks[s.slot(number)];
            hold.unlock();
            own_worker.work(waiting);
            hold.lock();
            s.worked[s.slot(number)] = true;
        }
        s.waiting_for_result = true;
        bool idled = false;
        while (!s.result_ready.wait_for(hold, k_idle_after, next_ready) && !run.interrupted()) {
            if (idled) continue;
            hold.unlock();
            run.idle();
            hold.lock();
            idled = true;
        }
        s.waiting_for_result = false;
        if (run.interrupted()) {
            s.stop = true;
            break;
        }
        if (s.put_out == s.taken) break;  // every name put out
        file_task& task = *s.tasks[s.slot(s.put_out)];
        hold.unlock();
        const bool go_on = run.emit(task);
        s.budget.give_back(task.charge);
        task.charge = 0;
        hold.lock();
        ++s.put_out;
        s.budget.next_out(s.put_out);
        // The name thread goes on once half the room is free, not for every task put out.
        if (s.waiting_for_room && 2 * (s.taken - s.put_out) <= s.capacity()) s.room.notify_one();
        if (!go_on) {
            s.stop = true;
            break;
        }
    }
    s.work_ready.notify_all();
    s.room.notify_all();
    s.budget.stop();  // workers waiting for memory leave their files
    const bool name_thread_done = s.name_thread_done || !s.stop;
    hold.unlock();
    for (std::thread& worker : workers) worker.join();
    // A name thread still waiting for a name (a slow producer on standard input) is left to wait:
    // it owns what it uses, and ends with the process.
    if (name_thread_done)
        names.join();
    else
        names.detach();
}

}  // namespace runtrail
