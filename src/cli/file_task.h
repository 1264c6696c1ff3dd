// One entry of a multi-file run (or the one file of a single-file run), from the moment it is taken
// from the names to the moment its report, or the message about it, is put out. The work on it
// (reading, parsing, rendering) can be done on any thread; what it puts out is put out in input
// order.
#pragma once

#include <string>

#include "file_facts.h"
#include "name_source.h"
#include "prefetch_file.h"
#include "prefetch_record.h"
#include "report_writer.h"
#include "written_files.h"

namespace runtrail {

struct file_task {
    std::string name;     // the file's name, as given; empty for an entry that is no name
    std::string problem;  // why the entry is no name (a line too long, a directory that cannot be listed)
    bool names_failed = false;  // the names could not be read at all: the run fails
    std::string notice;         // a word about where the files come from (a volume): said, not counted
    bool is_held = false;       // the file is read by its source (from a disk image), not opened by name
    held_file held;

    // What the work found.
    written_role role = written_role::none;  // the name is a file this run writes: not read
    load_result loaded = load_result::unreadable;
    bool failed_by_exception = false;  // the work ran out of memory or failed otherwise
    file_facts facts;
    prefetch_record record;
    std::string report;     // the file's report, when the writer had started and could render it
    bool rendered = false;

    // Empty again for the next entry, keeping the memory of its texts.
    void clear();
};

// Does the work of tasks one after the other, keeping its buffers from file to file. One per
// thread; it writes nowhere and changes nothing shared.
class file_worker {
public:
    // `source` reads the files it holds itself (those of a disk image); it may be nullptr otherwise.
    file_worker(const written_files& written, const report_writer& writer, const name_source* source = nullptr)
        : written_(written), writer_(writer), source_(source) {}

    void work(file_task& task);

private:
    const written_files& written_;
    const report_writer& writer_;
    const name_source* source_;
    prefetch_file_buffers buffers_;
    prefetch_record record_;  // each file's record, read into the same memory
};

}  // namespace runtrail
