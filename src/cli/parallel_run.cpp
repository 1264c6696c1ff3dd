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
// What the spare report texts may hold together, whatever the thread count.
constexpr size_t k_spare_report_bytes = 0x2000000;  // 32 MiB

// What the threads share. The name thread keeps it alive on its own, so that a run that ends while
// it waits for a name can leave it waiting.
struct shared_run {
    explicit shared_run(size_t capacity)
        : tasks(capacity), worked(capacity, false), budget(k_parallel_memory_budget),
          spare_reports(k_least_kept_report_bytes, k_spare_report_bytes) {
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
    spare_report_texts spare_reports;
    uint64_t taken = 0;     // tasks taken from the names
    uint64_t handed = 0;    // tasks handed to workers
    uint64_t put_out = 0;   // tasks put out
    unsigned idle_workers = 0;
    bool waiting_for_result = false;
    bool waiting_for_room = false;
    bool names_done = false;
    // Names that come at once (a walk) are taken by whichever thread runs short of tasks, one
    // thread at a time; names from standard input by a thread of their own.
    bool names_taken_inline = false;
    bool taking_names = false;
    bool name_thread_done = false;
    bool stop = false;

    size_t capacity() const { return tasks.size(); }
    bool has_room() const { return taken - put_out < capacity(); }
    bool half_free() const { return 2 * (taken - put_out) <= capacity(); }
    // A thread may take names now.
    bool may_take_names() const { return names_taken_inline && !taking_names && !names_done && has_room(); }
    size_t slot(uint64_t number) const { return static_cast<size_t>(number % capacity()); }
    bool next_ready() const { return (put_out < taken && worked[slot(put_out)]) || (names_done && put_out == taken); }
};

// Takes the next name into the next free slot; `hold` holds the lock and there is room. False when
// the names are used up or the run is stopping.
bool take_name(shared_run& s, const std::function<bool(file_task&)>& next_task, std::unique_lock<std::mutex>& hold) {
    // The next number's slot is free: no other thread touches it until the number is taken.
    file_task& task = *s.tasks[s.slot(s.taken)];
    hold.unlock();
    task.clear(k_least_kept_report_bytes);
    task.number = s.taken;
    const bool more = next_task(task);  // from standard input, may wait for a name a long time
    hold.lock();
    if (s.stop) return false;
    if (!more) {
        s.names_done = true;
        s.work_ready.notify_all();
        if (s.waiting_for_result) s.result_ready.notify_one();
        return false;
    }
    s.worked[s.slot(s.taken++)] = false;
    if (s.idle_workers > 0) s.work_ready.notify_one();
    return true;
}

// Takes up to `most` names inline, while there is room; `hold` holds the lock.
void take_names_inline(shared_run& s, const std::function<bool(file_task&)>& next_task,
                       std::unique_lock<std::mutex>& hold, size_t most) {
    if (!s.may_take_names()) return;
    s.taking_names = true;
    for (size_t n = 0; n < most && s.has_room() && take_name(s, next_task, hold); ++n) {
    }
    s.taking_names = false;
}

void take_names(const std::shared_ptr<shared_run>& shared, std::function<bool(file_task&)> next_task) {
    shared_run& s = *shared;
    std::unique_lock<std::mutex> hold(s.lock);
    for (;;) {
        s.waiting_for_room = true;
        s.room.wait(hold, [&] { return s.stop || s.has_room(); });
        s.waiting_for_room = false;
        if (s.stop || !take_name(s, next_task, hold)) break;
    }
    s.name_thread_done = true;
}

void work_tasks(shared_run& s, file_worker worker, const std::function<bool(file_task&)>& next_task) {
    std::vector<uint64_t> batch;
    batch.reserve(k_batch);
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(s.lock);
            ++s.idle_workers;
            s.work_ready.wait(hold, [&] { return s.stop || s.handed < s.taken || s.names_done || s.may_take_names(); });
            --s.idle_workers;
            // Out of tasks while the walk goes on: this thread takes the next names itself.
            if (!s.stop && s.handed == s.taken) take_names_inline(s, next_task, hold, 2 * k_batch);
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
    std::thread names;
    s.names_taken_inline = !run.names_may_wait;
    if (run.names_may_wait)
        names = std::thread(take_names, shared, run.next_task);
    else
        s.name_thread_done = true;
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < run.workers; ++i)
        workers.emplace_back(work_tasks, std::ref(s), run.make_worker(s.budget, s.spare_reports, true),
                             std::cref(run.next_task));

    // While the next task in order is not ready, the calling thread works waiting tasks itself
    // rather than sleep. It never waits for memory: only it puts tasks out and gives memory back.
    file_worker own_worker = run.make_worker(s.budget, s.spare_reports, false);
    std::unique_lock<std::mutex> hold(s.lock);
    const auto next_ready = [&] { return s.next_ready(); };
    for (;;) {
        // Names that come at once (a walk) are taken here once half the room is free, and by a
        // worker that runs out of tasks, rather than on a thread of their own: N threads then keep
        // N processors busy, and none waits to be woken for names.
        if (s.half_free()) take_names_inline(s, run.next_task, hold, s.capacity());
        // With memory tight it leaves them to the workers, which wait for room where it cannot.
        while (!s.next_ready() && s.budget.has_room()) {
            // All handed out while the next in order takes long (a large file): more names, while
            // there is room, rather than idle.
            if (s.handed == s.taken) take_names_inline(s, run.next_task, hold, k_batch);
            if (s.handed == s.taken) break;
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
        s.spare_reports.keep(task.report);
        hold.lock();
        ++s.put_out;
        s.budget.next_out(s.put_out);
        // The name thread goes on once half the room is free, not for every task put out; an idle
        // worker may take names itself.
        if (s.waiting_for_room && s.half_free()) s.room.notify_one();
        if (s.idle_workers > 0 && s.may_take_names()) s.work_ready.notify_one();
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
    if (!names.joinable()) return;
    if (name_thread_done)
        names.join();
    else
        names.detach();
}

}  // namespace runtrail
