#include "file_task.h"

namespace runtrail {

void file_task::clear() {
    name.clear();
    problem.clear();
    names_failed = false;
    notice.clear();
    is_held = false;
    role = written_role::none;
    loaded = load_result::unreadable;
    failed_by_exception = false;
    facts.path.clear();
    facts.name.clear();
    facts.from_image = false;
    facts.created = facts.mft_entry = 0;
    facts.deleted = false;
    record = prefetch_record{};
    report.clear();
    rendered = false;
}

void file_worker::work(file_task& task) {
    if (task.name.empty()) return;
    // Never read what this run writes: its report would be of runtrail's own output. A file inside a
    // disk image is not one of them.
    if (!task.is_held) task.role = written_.role_of(task.name);
    if (task.role != written_role::none) return;
    try {
        if (task.is_held) {
            task.facts = task.held.facts;
            size_t length = 0;
            task.loaded = source_ && source_->read_held(task.held, k_prefetch_read_cap, buffers_.file, length)
                              ? parse_prefetch_bytes(length, buffers_, record_)
                              : load_result::unreadable;
        } else {
            task.loaded = load_prefetch_file(task.name, buffers_, task.facts, record_);
        }
        if (task.loaded != load_result::loaded) return;
        // Once the run's first report is out, every report renders on its own, and the record stays
        // with this worker for the next file. Before that the writer renders where the tasks are put
        // out, from a copy.
        if (writer_.started()) {
            writer_.render(task.facts, record_, task.report);
            task.rendered = true;
        } else {
            task.record = record_;
        }
    } catch (const std::exception&) {
        // A file that exhausts memory (or fails otherwise) costs that file alone.
        task.failed_by_exception = true;
    }
}

}  // namespace runtrail
