// -csvl2t: the 17-column log2timeline CSV (date, time, timezone, MACB, source, sourcetype, type,
// user, host, short, desc, version, filename, inode, notes, format, extra). A prefetch file gives
// one line per distinct time of its main event (file modified, accessed, last run, created) and one
// line per earlier run time.
#pragma once

#include "field_text.h"
#include "report_writer.h"

namespace runtrail {

class l2t_report final : public report_writer {
public:
    explicit l2t_report(const report_settings& settings);
    void render(const file_facts& file, const prefetch_record& record, std::string& out) const override;

private:
    void start(const file_facts& first, std::string& out) override;
    // Each of the up to four lines of the main event repeats the module list and the volumes; each
    // earlier run time gives up to four lines more. No directory is written.
    report_repeats repeats(const prefetch_record& record) const override {
        return {k_main_event_lines, 0, k_main_event_lines, k_main_event_lines * (1 + record.earlier_runs.size())};
    }
    static constexpr uint64_t k_main_event_lines = 4;

    field_guard guard_;
};

}  // namespace runtrail
