#include "written_files.h"

#include "file_reader.h"

namespace runtrail {

const char* role_text(written_role role) {
    return role == written_role::results_file ? "the results file" : "the diagnostic log";
}

written_role written_files::role_of(const std::string& path) const {
    if (!results_ && !log_) return written_role::none;  // nothing to look up
    const std::optional<file_identity> input = input_identity(path);
    if (!input) return written_role::none;
    if (input == results_) return written_role::results_file;
    if (input == log_) return written_role::diagnostic_log;
    return written_role::none;
}

}  // namespace runtrail
