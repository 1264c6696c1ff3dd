// How large a file's report can grow, reckoned from its record before it is rendered: a parallel
// run takes that much of its memory budget for the report, so that a crafted file's report (a
// million names, repeated in each of eight run events) counts at its own size.
#pragma once

#include <cstdint>

#include "file_facts.h"
#include "prefetch_record.h"
#include "report_settings.h"

namespace runtrail {

// How often a form's report writes each part of what it says of a file.
struct report_repeats {
    uint64_t module_passes = 1;     // the module list
    uint64_t directory_passes = 1;  // the volumes' directory lists
    uint64_t volume_passes = 1;     // each volume's device path, serial number and time
    uint64_t rows = 1;              // lines or events, each with the file's names and text of its own
};

// At least the bytes a report repeating the record and the file as `repeats` says can take.
uint64_t report_size_bound(const report_settings& settings, const file_facts& file, const prefetch_record& record,
                           const report_repeats& repeats);

}  // namespace runtrail
