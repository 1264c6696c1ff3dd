// -csv: one row per prefetch file under one header per run. The columns are declared once, with
// the first file reported; values are padded, quoted and protected from the separator.
#pragma once

#include <vector>

#include "field_text.h"
#include "report_writer.h"

namespace runtrail {

class csv_report final : public report_writer {
public:
    explicit csv_report(const report_settings& settings);
    void render(const file_facts& file, const prefetch_record& record, std::string& out) const override;

private:
    struct column {
        std::string name;
        size_t width = 0;        // padded width; 0 in compact tables
        bool time_part = false;  // the time half of a split date/time: a space precedes it
    };
    void start(const file_facts& first, std::string& out) override;
    void add_column(std::string name, size_t width, bool time_part = false);
    bool with_volumes_and_modules() const;
    // One row: the modules and volumes at most once each, no directory.
    report_repeats repeats(const prefetch_record&) const override { return {1, 0, 1, 1}; }

    field_guard guard_;
    std::vector<column> columns_;
    bool image_columns_ = false;  // the creation time, MFT entry and deleted state of files from a disk image
};

}  // namespace runtrail
