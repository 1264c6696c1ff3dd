// One entry of a multi-file run (or the one file of a single-file run), from the moment it is taken
// from the names to the moment its report, or the message about it, is put out. The work on it
// (reading, parsing, rendering) can be done on any thread; what it puts out is put out in input
// order.
#pragma once

#include <cstdint>
#include <string>

#include "file_facts.h"
#include "memory_budget.h"
#include "name_source.h"
#include "prefetch_file.h"
#include "prefetch_record.h"
#include "report_writer.h"
#include "spare_report_texts.h"
#include "written_files.h"

namespace runtrail {

// What a report text kept for later reports may hold: the task of a single-thread run, and the
// text each worker of a parallel run renders into, keep up to the most. A task of a parallel run
// keeps a text of up to the least itself; larger ones go round through the run's spare texts.
constexpr size_t k_most_kept_report_bytes = 0x100000;  // 1 MiB
constexpr size_t k_least_kept_report_bytes = 0x1000;   // 4 KiB

struct file_task {
    std::string name;     // the file's name, as given; empty for an entry that is no name
    std::string problem;  // why the entry is no name (a line too long, a directory that cannot be listed)
    bool names_failed = false;  // the names could not be read at all: the run fails
    uint64_t number = 0;        // its place in input order, in a parallel run
    std::string notice;         // a word about where the files come from (a volume): said, not counted
    bool is_held = false;       // the file is read by its source (from a disk image), not opened by name
    held_file held;

    // What the work found.
    written_role role = written_role::none;  // the name is a file this run writes: not read
    load_result loaded = load_result::unreadable;
    bool out_of_memory = false;        // an allocation failed: the file is skipped, said so
    bool failed_by_exception = false;  // the work failed otherwise
    file_facts facts;
    prefetch_record record;  // the record, moved here when the writer had not started
    std::string report;      // the file's report, when the writer had started and could render it
    bool rendered = false;
    uint64_t charge = 0;  // bytes taken from the run's memory budget, given back once put out

    // Empty again for the next entry, keeping the memory of its texts unless one large file made
    // them grow: a report text of up to `kept_report_bytes` keeps its memory, so that the next
    // report does not allocate (and, past 256 KiB, map) it anew.
    void clear(size_t kept_report_bytes = k_most_kept_report_bytes);
};

// Does the work of tasks one after the other, keeping its buffers from file to file. One per
// thread; it writes nowhere and changes nothing shared.
class file_worker {
public:
    // `source` reads the files it holds itself (those of a disk image); it may be nullptr otherwise.
    // A worker of a parallel run counts the memory each file takes in the run's budget, where one
    // that `may_wait` waits for room (the thread that puts the tasks out must never wait), and
    // copies large reports into the run's spare texts.
    file_worker(const written_files& written, const report_writer& writer, const name_source* source)
        : file_worker(written, writer, source, nullptr, nullptr, true) {}
    file_worker(const written_files& written, const report_writer& writer, const name_source* source,
                memory_budget* budget, spare_report_texts* spare_reports, bool may_wait)
        : written_(written), writer_(writer), source_(source), budget_(budget), spare_reports_(spare_reports),
          may_wait_(may_wait) {}

    void work(file_task& task);

private:
    // Renders the task's report, once the writer has started; `report_bound` is what the budget
    // holds for it.
    void render(file_task& task, uint64_t report_bound);
    // Gives back what the budget holds for a rendered report beyond the memory its text holds.
    void settle_report_charge(file_task& task, uint64_t report_bound);
    // Takes `bytes` of the budget for the task; false when the run is stopping.
    bool take_memory(file_task& task, uint64_t bytes);

    const written_files& written_;
    const report_writer& writer_;
    const name_source* source_;
    memory_budget* budget_;
    spare_report_texts* spare_reports_;
    bool may_wait_;
    prefetch_file_buffers buffers_;
    prefetch_record record_;  // each file's record, read into the same memory
    std::string report_;      // where a parallel run's reports are rendered
};

}  // namespace runtrail
