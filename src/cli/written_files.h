// The files a run writes, the results file and the diagnostic log: none of them is ever read as an
// input, and none may be an input the run was asked to read.
#pragma once

#include <optional>
#include <string>

#include "file_identity.h"

namespace runtrail {

enum class written_role { none, results_file, diagnostic_log };

// "the results file", "the diagnostic log".
const char* role_text(written_role role);

// True when the regular file at `path`, whose identity is `written` (the file a destination opened),
// begins as a prefetch file does: "MAM\x04" at its start, or "SCCA" at offset 4. Writing there
// would destroy evidence. It is only read.
bool holds_prefetch_image(const std::string& path, const file_identity& written);

class written_files {
public:
    // Identities of the regular files written; nothing for standard output, a pipe or a device.
    written_files(std::optional<file_identity> results, std::optional<file_identity> log)
        : results_(results), log_(log) {}

    // Which of the written files the input at `path` is: none when it is neither (or does not
    // exist).
    written_role role_of(const std::string& path) const;
    // Which of them the open input file `input` is.
    written_role role_of(const file_identity& input) const;
    // -diags and -out name one file.
    bool log_is_results_file() const { return results_ && results_ == log_; }

private:
    std::optional<file_identity> results_;
    std::optional<file_identity> log_;
};

}  // namespace runtrail
