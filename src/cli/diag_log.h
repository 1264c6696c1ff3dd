// -diags: a log of the run, its lines starting with "->": the command line, each name a multi-file
// run handles, failures caught inside a file's handling, and at the end the elapsed time.
#pragma once

#include <string>

namespace runtrail {

class diag_log {
public:
    diag_log() = default;
    ~diag_log();
    diag_log(const diag_log&) = delete;
    diag_log& operator=(const diag_log&) = delete;

    // Creates or truncates the log; false when it cannot be opened (the log stays off).
    bool open(const std::string& path);
    bool is_open() const { return fd_ != -1; }
    // "->" + text + line end; nothing when the log is off.
    void line(const std::string& text);
    // The text as it is, without a line end.
    void append(const std::string& text);

private:
    int fd_ = -1;
};

}  // namespace runtrail
