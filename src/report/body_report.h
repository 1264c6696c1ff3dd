// -bodyfile: the pipe-separated body file of file-system timeline tools such as sleuthkit's
// mactime (md5|name|inode|mode|uid|gid|size|atime|mtime|ctime|crtime), times in seconds since 1970.
// A prefetch file gives one line for its last run and one per earlier run time.
#pragma once

#include "field_text.h"
#include "report_writer.h"

namespace runtrail {

class body_report final : public report_writer {
public:
    explicit body_report(const report_settings& settings);
    void render(const file_facts& file, const prefetch_record& record, std::string& out) const override;

private:
    void start(const file_facts& first, std::string& out) override;
    // Lines of names and times alone: no module, directory or volume.
    report_repeats repeats(const prefetch_record& record) const override {
        return {0, 0, 0, 1 + record.earlier_runs.size()};
    }

    field_guard guard_;
};

}  // namespace runtrail
