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
};

}  // namespace runtrail
