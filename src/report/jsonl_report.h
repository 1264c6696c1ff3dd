// -jsonl: JSON Lines, one object per prefetch file on one line, with every value the parse produced
// and, last, the prefetch hash checked against the file's name and the program's path. Times keep
// their full 100 ns precision; a time that is not printable is null.
#pragma once

#include <cstdint>

#include "report_writer.h"

namespace runtrail {

class jsonl_report final : public report_writer {
public:
    using report_writer::report_writer;
    void render(const file_facts& file, const prefetch_record& record, std::string& out) const override;
};

// Appends a FILETIME as a quoted ISO 8601 UTC text with all seven fraction digits
// ("2016-01-11T22:08:20.9853304Z"), or null when the time is not printable.
void append_json_time(std::string& out, uint64_t filetime);

}  // namespace runtrail
