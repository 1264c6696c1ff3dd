// -diags: a log of the run, its lines starting with "->": the command line, each name a multi-file
// run handles, failures caught inside a file's handling, and at the end the elapsed time.
#pragma once

#include <optional>
#include <string>

#include "file_identity.h"

namespace runtrail {

class diag_log {
public:
    diag_log() = default;
    ~diag_log();
    diag_log(const diag_log&) = delete;
    diag_log& operator=(const diag_log&) = delete;

    // Opens the log without changing it yet (created when missing); false when it cannot be
    // opened (the log stays off).
    bool open(const std::string& path);
    // The log, when it is a regular file: what must never be read as input or written over one.
    std::optional<file_identity> identity() const;
    // Once the log is known to be safe to write: a regular file is emptied. False, and the log
    // off, when it cannot be.
    bool begin();
    bool is_open() const { return fd_ != -1; }
    // "->" + text + line end; nothing when the log is off.
    void line(const std::string& text);
    // The text as it is, without a line end.
    void append(const std::string& text);

private:
    int fd_ = -1;
};

}  // namespace runtrail
