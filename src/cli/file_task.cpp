#include "file_task.h"

#include <algorithm>
#include <new>
#include <utility>

namespace runtrail {
namespace {

// A record with up to this many names keeps its memory for the next file.
constexpr size_t k_kept_record_names = 0x4000;

}  // namespace

void file_task::clear(size_t kept_report_bytes) {
    name.clear();
    problem.clear();
    names_failed = false;
    number = 0;
    notice.clear();
    is_held = false;
    held = held_file{};
    role = written_role::none;
    loaded = load_result::unreadable;
    out_of_memory = false;
    failed_by_exception = false;
    facts.path.clear();
    facts.name.clear();
    facts.from_image = false;
    facts.created = facts.mft_entry = 0;
    facts.deleted = false;
    record = prefetch_record{};
    if (report.capacity() > kept_report_bytes) std::string().swap(report);
    report.clear();
    rendered = false;
    charge = 0;
}

bool file_worker::take_memory(file_task& task, uint64_t bytes) {
    if (!budget_->take(task.number, bytes, may_wait_)) return false;
    task.charge += bytes;
    return true;
}

void file_worker::render(file_task& task, uint64_t report_bound) {
    task.rendered = true;
    if (!spare_reports_) {
        writer_.render(task.facts, record_, task.report);  // put out at once
        return;
    }
    // In a parallel run a report waits for those before it. Rendered in the task's own text, the
    // memory a large report grew would wait on with whatever report came next, and large reports
    // would keep growing texts anew (past 256 KiB each a fresh mapping, every page a fault). The
    // worker renders into a text of its own, which keeps that memory, and copies the report to the
    // task: one larger than the task's text into the smallest spare that holds it.
    report_.clear();
    writer_.render(task.facts, record_, report_);
    if (report_.capacity() > k_most_kept_report_bytes) {
        task.report.swap(report_);  // too large to keep: handed over whole, never held twice
        std::string().swap(report_);
        settle_report_charge(task, report_bound);
        return;
    }
    if (report_.size() > task.report.capacity()) task.report = spare_reports_->take(report_.size());
    task.report.assign(report_);
    settle_report_charge(task, report_bound);
}

void file_worker::settle_report_charge(file_task& task, uint64_t report_bound) {
    // The report was counted at its bound, which is far above the size of nearly every report;
    // rendered, it keeps what its text holds while it waits to be put out.
    const uint64_t held = task.report.capacity();
    if (!budget_ || report_bound <= held) return;
    budget_->give_back(report_bound - held);
    task.charge -= report_bound - held;
}

void file_worker::work(file_task& task) {
    if (task.name.empty()) return;
    memory_gate gate;
    if (budget_) gate = [this, &task](uint64_t bytes) { return take_memory(task, bytes); };
    // Never read what this run writes: its report would be of runtrail's own output. The file is
    // known by its identity once open, which spares a look-up of its path. A file inside a disk
    // image is not one of them.
    const read_check may_read = [this, &task](const file_identity& file, uint64_t bytes) {
        task.role = written_.role_of(file);
        return task.role == written_role::none && (!budget_ || take_memory(task, bytes));
    };
    try {
        if (task.is_held) {
            task.facts = task.held.facts;
            size_t length = 0;
            const uint64_t held_bytes = std::min<uint64_t>(task.held.facts.size, k_prefetch_read_cap);
            if (gate && !gate(held_bytes)) {
                task.loaded = load_result::unreadable;
            } else {
                task.loaded = source_ && source_->read_held(task.held, k_prefetch_read_cap, buffers_.file, length)
                                  ? parse_prefetch_bytes(length, buffers_, record_, gate)
                                  : load_result::unreadable;
            }
        } else {
            task.loaded = load_prefetch_file(task.name, buffers_, task.facts, record_, may_read, gate);
        }
        // Its report is counted at the size it can reach before it is rendered, here or where the
        // tasks are put out.
        uint64_t report_bound = 0;
        if (task.loaded == load_result::loaded && budget_) {
            report_bound = writer_.report_bytes_bound(task.facts, record_);
            if (!take_memory(task, report_bound)) task.loaded = load_result::unreadable;
        }
        if (task.loaded == load_result::loaded) {
            // Once the run's first report is out, every report renders on its own, and the record
            // stays with this worker for the next file. Before that the writer renders where the
            // tasks are put out: the record moves to the task (never copied).
            if (writer_.started()) {
                render(task, report_bound);
            } else {
                std::swap(task.record, record_);
            }
        }
    } catch (const std::bad_alloc&) {
        // A file that exhausts memory costs that file alone, and is said.
        task.out_of_memory = true;
        std::string().swap(task.report);
        std::string().swap(report_);
        record_ = prefetch_record{};
    } catch (const std::exception&) {
        task.failed_by_exception = true;
    }
    trim_prefetch_file_buffers(buffers_);
    if (record_.modules.capacity() > k_kept_record_names) record_ = prefetch_record{};
}

}  // namespace runtrail
