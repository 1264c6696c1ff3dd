// -diags: a log of the run, one line per entry, each starting with "->": the command line, each name
// a multi-file run handles, and at the end the elapsed time.
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
    // "->" + text + line end, control codes in the text marked as the messages mark them ([LF],
    // [0x1B]); nothing when the log is off.
    void line(std::string text);
    // The text as it is: runtrail's own text, never a name.
    void append(const std::string& text);

private:
    int fd_ = -1;
};

}  // namespace runtrail
