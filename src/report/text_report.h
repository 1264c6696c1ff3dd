// The default report: one block of labelled lines per prefetch file, then the files it loaded and,
// per volume, the volume's identity and the directories it used.
#pragma once

#include "report_writer.h"

namespace runtrail {

class text_report final : public report_writer {
public:
    using report_writer::report_writer;
    void render(const file_facts& file, const prefetch_record& record, std::string& out) const override;
};

}  // namespace runtrail
