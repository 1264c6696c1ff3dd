// -timesketch: timeline events for Timesketch's JSON Lines import, with the field names of the
// events plaso makes from prefetch files, so that they sort in beside plaso's. One JSON object per
// line and per point in time of each file: one per run time (the last run "Last Time Executed",
// each earlier one "Previous Last Time Executed", data type windows:prefetch:execution) and one per
// volume creation time ("Creation Time", windows:volume:creation). Every event carries the three
// fields Timesketch requires: message, datetime (ISO 8601, microseconds, cut) and timestamp_desc.
// A time that is not printable gives no event.
#pragma once

#include "report_writer.h"

namespace runtrail {

class timesketch_report final : public report_writer {
public:
    using report_writer::report_writer;
    void render(const file_facts& file, const prefetch_record& record, std::string& out) const override;

private:
    // Each run event repeats the mapped files, the path hints twice (each hint a module) and the
    // volumes twice; each volume event names its volume three times. No directory is written.
    report_repeats repeats(const prefetch_record& record) const override {
        const uint64_t run_events = 1 + record.earlier_runs.size();
        return {3 * run_events, 0, 2 * run_events + 3, run_events + record.volumes.size()};
    }
};

}  // namespace runtrail
